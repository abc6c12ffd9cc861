#!/usr/bin/env bash
# Takes a screenshot of the main window connected to the simulated meter,
# under a virtual X server: docs/main-window.png. BUILD_DIR as for build.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/xvfb.sh
bash scripts/setup.sh
bash scripts/build.sh
BUILD_DIR="${BUILD_DIR:-build}"
mkdir -p docs
xvfb-run -a "$BUILD_DIR/corvane-hart" --sim --screenshot docs/main-window.png
echo "docs/main-window.png"
