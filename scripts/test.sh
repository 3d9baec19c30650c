#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: unit, offscreen GL
# (EGL, no display) and the real window under a private Xvfb.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build"

# A private X server for the GUI tests, whatever display the caller has.
xvfb_log="$(mktemp)"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$xvfb_log.fd" >"$xvfb_log" 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null || true; rm -f "$xvfb_log" "$xvfb_log.fd"' EXIT
for _ in $(seq 100); do [ -s "$xvfb_log.fd" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$xvfb_log.fd")"
echo "Xvfb on $DISPLAY"

cd "$root/build"
ctest --output-on-failure -j "$(nproc)"
