#!/usr/bin/env bash
# Unpacks the Debian package into a temporary folder and runs its programs
# from there: they must find their libraries, the link control and each
# other through their own run path, never through the build folder.
#   bash tests/package/check_unpacked.sh build/corvane-hart_1.0.0_amd64.deb
set -euo pipefail
deb="${1:?usage: check_unpacked.sh PACKAGE.deb}"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
bin="$root/usr/bin"
unset LD_LIBRARY_PATH

# Every program of the package is there and runs.
run() {
  local program="$1"
  shift
  if [ ! -x "$bin/$program" ]; then
    echo "FAILED: $program is not in the package" >&2
    exit 1
  fi
  echo "+ $program $*"
  "$bin/$program" "$@"
}

# Every run path is relative to the file itself: the package runs wherever it lies.
for elf in "$bin"/* $(find "$root/usr/lib" -path '*/corvane-hart/*.so'); do
  paths=$(readelf -d "$elf" | sed -n 's/.*(\(RUNPATH\|RPATH\)).*\[\(.*\)\]/\2/p')
  for path in ${paths//:/ }; do
    case "$path" in
      '$ORIGIN'|'$ORIGIN/'*) ;;
      *) echo "FAILED: $elf searches $path for libraries" >&2; exit 1 ;;
    esac
  done
done

# What the manual pages point to is there.
for file in usr/share/doc/corvane-hart/simulated-meter.md.gz usr/share/corvane-hart/profiles/liquid_wafer.profile; do
  if [ ! -s "$root/$file" ]; then
    echo "FAILED: /$file is not in the package" >&2
    exit 1
  fi
done

run corvane-hart-cli --version
run corvane-meter-sim --help
run corvane-meter-sim --version
run corvane-hart-bridge --version
run corvane-hart --version

# The utility end to end: it loads libfenwire.so from its library folder,
# starts the simulated meter beside it on a shipped profile, connects and
# saves its window. A fresh registry, so no registered library elsewhere is used.
QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$root/config" FENWIRE_REGISTRY="$root/registry.ini" \
  run corvane-hart --sim "$root/usr/share/corvane-hart/profiles/steam.profile" --screenshot "$root/window.png"
if [ ! -s "$root/window.png" ]; then
  echo "FAILED: corvane-hart saved no window" >&2
  exit 1
fi
echo "unpacked package: programs run"
