#!/usr/bin/env bash
# Takes a screenshot of the main window connected to the simulated meter,
# under a virtual X server: docs/main-window.png. BUILD_DIR as for build.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v xvfb-run >/dev/null; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  echo "Installing: xvfb"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends xvfb xauth
fi
bash scripts/setup.sh
bash scripts/build.sh
BUILD_DIR="${BUILD_DIR:-build}"
mkdir -p docs
xvfb-run -a "$BUILD_DIR/corvane-hart" --sim --screenshot docs/main-window.png
echo "docs/main-window.png"
