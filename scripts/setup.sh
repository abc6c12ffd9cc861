#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, if any is missing.
# `setup.sh package` installs those that build and check the Debian package
# instead (scripts/package.sh).
set -euo pipefail
# clang and libclang-rt-14-dev (libFuzzer) build the fuzz targets (scripts/fuzz.sh).
# tshark decodes our HART-IP traffic in a test (skipped where it cannot capture)
# and the bus monitor's captures.
PACKAGES=(g++ cmake ninja-build libgtest-dev qt6-base-dev libgl-dev python3 clang libclang-rt-14-dev tshark)
# dpkg-shlibdeps (dpkg-dev) and file find the package's dependencies; lintian checks it.
if [ "${1:-}" = package ]; then
  PACKAGES=(dpkg-dev file lintian)
fi
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
