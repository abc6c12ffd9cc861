#!/usr/bin/env bash
# Takes a screenshot of the bus monitor window recording the simulated
# meter's traffic (a few lost replies, bad checksums and busy answers among
# it): docs/busview.png. Drawn offscreen, so no display is needed. BUILD_DIR
# as for build.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
BUILD_DIR="${BUILD_DIR:-build}"
mkdir -p docs
QT_QPA_PLATFORM=offscreen "$BUILD_DIR/busview-screenshot" docs/busview.png
