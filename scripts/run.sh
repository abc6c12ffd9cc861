#!/usr/bin/env bash
# Sets up, builds and starts the utility with COM 1 mapped to a simulated
# meter on a pseudo-terminal. Arguments go to corvane-hart (e.g. a profile:
# scripts/run.sh sim/profiles/gas_insertion.profile). Without a display the
# command-line demonstration of the driver runs instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
BUILD_DIR="${BUILD_DIR:-build}"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display here: running the command-line demonstration instead (scripts/screenshot.sh shows the window under a virtual display)."
  exec "$BUILD_DIR/wendrel-demo"
fi
exec "$BUILD_DIR/corvane-hart" --sim "$@"
