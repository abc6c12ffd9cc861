#!/usr/bin/env bash
# Under a file-size limit (ulimit -f) a write that would pass it fails as on
# a full disk: the programs report it and go on, instead of being ended by
# SIGXFSZ.   file_size_limit_test.sh UTILITY SIMULATED-METER
set -euo pipefail
utility="$1"
meter="$2"
dir=$(mktemp -d)
meter_pid=
cleanup() {
  [ -n "$meter_pid" ] && kill "$meter_pid" 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT
export XDG_CONFIG_HOME="$dir/config" FENWIRE_REGISTRY="$dir/registry.ini" QT_QPA_PLATFORM=offscreen

# The utility saves a screenshot far larger than 4 KiB: "cannot write", exit status 1.
status=0
(ulimit -f 4 && exec "$utility" --sim --screenshot "$dir/shot.png") 2>"$dir/utility.err" || status=$?
[ "$status" -eq 1 ] || { echo "utility: exit status $status (SIGXFSZ is 153)"; cat "$dir/utility.err"; exit 1; }
grep -q "cannot write $dir/shot.png" "$dir/utility.err" || { echo "utility: no failure message"; cat "$dir/utility.err"; exit 1; }

# The simulated meter's request log is already at the limit: the next line
# cannot be written, and the meter keeps answering.
head -c 4096 /dev/zero >"$dir/requests.log"
(ulimit -f 4 && exec "$meter" --pty "$dir/com1" --log "$dir/requests.log") >"$dir/meter.out" &
meter_pid=$!
for _ in $(seq 100); do [ -e "$dir/com1" ] && break; sleep 0.1; done
printf '\xff\xff\xff\xff\xff\x02\x80\x00\x00\x82' >"$dir/com1"  # command 0 to polling address 0
sleep 0.5
kill -0 "$meter_pid" 2>/dev/null || { wait "$meter_pid" || echo "meter: ended with status $?"; meter_pid=; exit 1; }
echo "write failures reported, both programs went on"
