#!/usr/bin/env bash
# Configures and builds. BUILD_DIR (default build) and SANITIZE=1 for an
# AddressSanitizer and UndefinedBehaviorSanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${BUILD_DIR:-build}"
SANITIZE_FLAG=OFF
[ "${SANITIZE:-0}" = "1" ] && SANITIZE_FLAG=ON
LAUNCHER=()
# ccache, when the machine has it, shares compiled objects between build folders.
command -v ccache >/dev/null && LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$BUILD_DIR" -G Ninja -DCORVANE_SANITIZE="$SANITIZE_FLAG" "${LAUNCHER[@]}" >/dev/null
cmake --build "$BUILD_DIR" -j2
