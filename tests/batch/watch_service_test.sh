#!/usr/bin/env bash
# The packaged watch service, run as systemd runs it for one folder: its
# command line as the unit expands it, a scan converted, and a stop with a
# scan still being written. Both ends must be exit statuses the unit counts
# as a clean stop, or every operator's "systemctl stop" leaves it failed.
# Usage: watch_service_test.sh UNIT_FILE VELTRIM_BATCH SAMPLE.stl
set -euo pipefail
unit="$1" batch="$2" sample="$3"
dir="$(mktemp -d)"
pid=""
cleanup() { [ -z "$pid" ] || kill -9 "$pid" 2>/dev/null || true; rm -rf "$dir"; }
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [ ! -f "$dir/err" ] || cat "$dir/err" >&2; exit 1; }
wait_for() {  # a command that succeeds, tried every 0.1 s for at most 30 s
  for _ in $(seq 300); do "$@" && return 0; sleep 0.1; done
  fail "timed out waiting for: $*"
}

if command -v systemd-analyze >/dev/null; then
  sed "s|/usr/bin/veltrim-batch|$batch|" "$unit" >"$dir/veltrim-watch@srv-scans.service"
  # The man page is not installed where the tests run.
  complaints="$(systemd-analyze verify "$dir/veltrim-watch@srv-scans.service" 2>&1 |
    grep -v 'man veltrim-batch' || true)"
  [ -z "$complaints" ] || fail "systemd-analyze: $complaints"
else
  echo "note: systemd-analyze is not installed; the unit's syntax is not checked"
fi

success=(0)
read -ra extra <<<"$(sed -n 's/^SuccessExitStatus=//p' "$unit")"
success+=("${extra[@]}")
mkdir -p "$dir/scans" "$dir/state"
line="$(sed -n 's/^ExecStart=//p' "$unit")"
line="${line//\$\{STATE_DIRECTORY\}/$dir/state}"
line="${line//%i/scans}"
line="${line//%f/$dir/scans}"
line="${line//\$VELTRIM_WATCH_OPTIONS/-r}"
read -ra words <<<"$line"
words[0]="$batch"

start() {
  "${words[@]}" >/dev/null 2>"$dir/err" &
  pid=$!
  wait_for grep -q "^watching " "$dir/err"
}
stop() {  # sets status
  kill -TERM "$pid"
  status=0
  wait "$pid" || status=$?
  pid=""
}

start
cp "$sample" "$dir/scans/a.stl"
wait_for test -f "$dir/scans/a.bmp"
stop
[[ " ${success[*]} " == *" $status "* ]] || fail "a clean stop exits $status"
grep -q ',converted,' "$dir/state/scans.csv" || fail "no converted row in the report"

exec 3>"$dir/scans/held.stl"  # still being written at the stop
start
wait_for grep -q "held.stl: still being written" "$dir/err"
stop
exec 3>&-
[ "$status" = 1 ] || fail "a stop with a scan in hand exits $status, not 1"
[[ " ${success[*]} " == *" $status "* ]] || fail "the unit counts status $status as a failure"
grep -q 'held.stl,.*interrupted (still being written' "$dir/state/scans.csv" ||
  fail "the scan in hand is not reported as interrupted"
echo "the watch service's command line converts, and stops cleanly"
