#!/usr/bin/env bash
# Builds the Debian package from the normal build folder and checks it:
# build/corvane-hart_<version>_<arch>.deb. BUILD_DIR as for build.sh; a
# sanitizer build is not packaged. Fails when lintian reports an error (its
# warnings are shown) or when packaging/changelog does not name the version.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${BUILD_DIR:-build}"
if [ "${SANITIZE:-0}" = "1" ]; then
  echo "package.sh: a sanitizer build is not packaged" >&2
  exit 2
fi
bash scripts/setup.sh
bash scripts/setup.sh package
bash scripts/build.sh

rm -f "$BUILD_DIR"/corvane-hart_*.deb
(cd "$BUILD_DIR" && cpack -G DEB)
deb=$(ls "$BUILD_DIR"/corvane-hart_*_"$(dpkg --print-architecture)".deb)

version=$(dpkg-deb -f "$deb" Version)
logged=$(dpkg-parsechangelog -l packaging/changelog -S Version)
if [ "$version" != "$logged" ]; then
  echo "package.sh: the package is version $version, packaging/changelog's latest entry $logged" >&2
  exit 1
fi

echo "=== lintian $deb"
lintian --fail-on error --tag-display-limit 0 "$deb"
echo "$deb"
