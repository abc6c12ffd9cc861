// device model (in progress)
