// frame driver API (in progress)
