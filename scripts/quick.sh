#!/usr/bin/env bash
# The edit-build-test loop: builds the unit and offscreen GL tests in build/
# and runs them (no display needed). Extra arguments go to ctest, e.g.
#   scripts/quick.sh -R Capture
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
VELTRIM_TARGETS="unit_tests gl_tests" "$root/scripts/build.sh" "$root/build"
cd "$root/build"
ctest -j "$(nproc)" -L 'unit|gl' --output-on-failure "$@"
