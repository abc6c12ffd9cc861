#!/usr/bin/env bash
# The fuzz targets (fuzz/): built with clang into build-fuzz/, run one at a
# time at the lowest priority.
#   bash scripts/fuzz.sh build                 # builds every target
#   bash scripts/fuzz.sh run RUNS [TARGET...]  # each target for RUNS executions
#   bash scripts/fuzz.sh time SECS [TARGET...] # each target for SECS seconds
#   bash scripts/fuzz.sh seeds                 # rewrites fuzz/corpus/ from the simulated meter
# TARGET is a name like frame_parser (default: all). The seed corpus of each is
# fuzz/corpus/TARGET; inputs found on the way go to build-fuzz/corpus/TARGET,
# findings to build-fuzz/findings/. Exits non-zero on the first finding.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${BUILD_DIR:-build-fuzz}"

# build [TARGET]: configures build-fuzz/ and builds TARGET (default: every fuzzer).
build() {
  bash scripts/setup.sh
  local launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCORVANE_FUZZ=ON -DCORVANE_TESTS=OFF "${launcher[@]}" >/dev/null
  nice -n 19 cmake --build "$BUILD_DIR" -j2 --target "${1:-fuzzers}"
}

targets() {
  if [ "$#" -gt 0 ]; then printf '%s\n' "$@"; else ls fuzz/corpus; fi
}

# The longest input worth mutating for each target: a few frames for a byte
# stream, a whole property-table grid for a table file, a few dozen frames for a capture, a few sections for an
# INI file (whose checks read every key back). Longer inputs only slow the
# search down.
max_len() {
  case "$1" in
    table_file) echo 2048 ;;
    capture) echo 4096 ;;
    ini) echo 512 ;;
    *) echo 1024 ;;
  esac
}

# run_target NAME LIBFUZZER-LIMIT-OPTION
run_target() {
  local name="$1" limit="$2"
  local binary="$BUILD_DIR/fuzz/fuzz-$name"
  [ -x "$binary" ] || { echo "no $binary: bash scripts/fuzz.sh build" >&2; exit 2; }
  mkdir -p "$BUILD_DIR/corpus/$name" "$BUILD_DIR/findings"
  echo "=== fuzz-$name $limit"
  # Qt targets need no display. A smaller quarantine and shorter allocation
  # stacks than AddressSanitizer's defaults: several times the executions.
  ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=32:malloc_context_size=8:max_malloc_fill_size=256}" \
  QT_QPA_PLATFORM=offscreen nice -n 19 "$binary" "$limit" -timeout=10 -max_len="$(max_len "$name")" -print_final_stats=1 \
    -artifact_prefix="$BUILD_DIR/findings/$name-" \
    "$BUILD_DIR/corpus/$name" "fuzz/corpus/$name" 2>"$BUILD_DIR/fuzz/fuzz-$name.log" || {
      tail -n 60 "$BUILD_DIR/fuzz/fuzz-$name.log"
      echo "FINDING in fuzz-$name (input in $BUILD_DIR/findings/)" >&2
      exit 1
    }
  grep -E "^(stat::number_of_executed_units|stat::peak_rss_mb|Done)" "$BUILD_DIR/fuzz/fuzz-$name.log" || true
}

case "${1:-}" in
  build) build ;;
  run|time)
    [ "$#" -ge 2 ] || { echo "usage: $0 $1 N [TARGET...]" >&2; exit 2; }
    option="-runs=$2"; [ "$1" = time ] && option="-max_total_time=$2"
    shift 2
    for t in $(targets "$@"); do run_target "$t" "$option"; done ;;
  seeds)
    build fuzz-seeds
    "$BUILD_DIR/fuzz/fuzz-seeds" fuzz/corpus ;;
  *)
    sed -n '2,11p' "$0"; exit 2 ;;
esac
