#!/usr/bin/env bash
# The utility ended by SIGTERM, as a desktop session or a service manager ends
# it: it closes as if its window were closed (exit status 0) and saves the
# chosen port.   terminate_test.sh PROGRAM
set -euo pipefail
program="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export XDG_CONFIG_HOME="$dir/config" FENWIRE_REGISTRY="$dir/registry.ini" QT_QPA_PLATFORM=offscreen
"$program" --sim &
pid=$!
# Until the program catches SIGTERM (SIGTERM is 15: bit 14 of SigCgt) and
# has started its simulated meter, which it does just before its window
# opens; then a moment for the window. At most a minute.
for _ in $(seq 600); do
  mask=$(awk '/^SigCgt:/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
  [ -n "$mask" ] && (( (16#$mask >> 14) & 1 )) && grep -qsx "PPid:[[:space:]]*$pid" /proc/[0-9]*/status && break
  sleep 0.1
done
sleep 1
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || { echo "exit status $status after SIGTERM"; exit 1; }
grep -rqsx "ComPort=1" "$dir/config" || { echo "the port was not saved"; exit 1; }
echo "ended cleanly, port saved"
