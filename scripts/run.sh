#!/usr/bin/env bash
# Sets up, builds and starts the demonstration on the simulated meter.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
exec "${BUILD_DIR:-build}/wendrel-demo" "$@"
