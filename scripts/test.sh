#!/usr/bin/env bash
# Installs what is missing, builds, and runs every check and test, in order:
#   1. static checks: layering and file sizes, clang-format, shellcheck;
#   2. the normal build (GCC, warnings are errors) and its Debian package,
#      built and checked;
#   3. a clang build with AddressSanitizer and UndefinedBehaviorSanitizer
#      (warnings are errors) and a scalar build with the SIMD paths off;
#   4. the STL parser fuzzer for a bounded time;
#   5. the benchmarks in their short mode (figures only, no pass/fail);
#   6. the unit tests of the scalar build;
#   7. the unit, offscreen and batch tests and the monkey test under the sanitizers;
#   8. every test of the normal build, the real window under a private Xvfb;
#   9. the README's first command, scripts/run.sh, until its window is up;
#  10. the mutation check on an eighth of scripts/mutants.txt, picked by the
#      commit (scripts/mutate.sh runs them all): every fault must fail a test.
# Each step's line says when it started, so a slow step shows in the log.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"
"$root/scripts/install-deps.sh"
step() { echo "== $1 (at $SECONDS s)"; }

step "static checks"
"$root/scripts/check-layers.sh"
"$root/scripts/check-format.sh"
mapfile -t shell_scripts < <(cd "$root" && git ls-files '*.sh' .ci/run)
(cd "$root" && shellcheck -x -S warning "${shell_scripts[@]}")
echo "shellcheck: ok"

step "build"
"$root/scripts/build.sh" "$root/build" -DVELTRIM_WERROR=ON
step "Debian package"
(cd "$root/build" && rm -f veltrim_*.deb && cpack -G DEB >/dev/null)
version="$(sed -n 's/^project(veltrim VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
"$root/packaging/check-package.sh" "$root"/build/veltrim_*.deb "$version"

step "clang sanitizer build"
# Only what the sanitizer tests run: the unit, offscreen and batch tests (the
# converter under them), and the program with the helper its monkey test
# needs.
CC=clang CXX=clang++ \
  VELTRIM_TARGETS="unit_tests gl_tests batch_tests veltrim veltrim-batch x_close_window" \
  "$root/scripts/build.sh" "$root/build-asan" -DVELTRIM_SANITIZE=ON -DVELTRIM_WERROR=ON \
  -DVELTRIM_BENCH=OFF
step "scalar build"
VELTRIM_TARGETS="unit_tests" \
  "$root/scripts/build.sh" "$root/build-scalar" -DVELTRIM_NO_SIMD=ON -DVELTRIM_WERROR=ON \
  -DVELTRIM_BENCH=OFF

# A private X server for the GUI tests, whatever display the caller has.
fd_file="$(mktemp)"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$fd_file" >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null || true; rm -f "$fd_file"' EXIT
for _ in $(seq 100); do [ -s "$fd_file" ] && break; sleep 0.1; done
[ -s "$fd_file" ] || { echo "Xvfb did not start" >&2; exit 1; }
DISPLAY=":$(head -n1 "$fd_file")"
export DISPLAY
echo "Xvfb on $DISPLAY"

# stdbuf (used by the GUI tests) preloads a library ahead of the ASan runtime.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:verify_asan_link_order=0"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

step "fuzz the STL parser"
"$root/scripts/fuzz.sh" "${VELTRIM_FUZZ_SECONDS:-60}"

step "benchmarks (short mode)"
for b in stl_read_bench render_bench quality_bench exact_heights_bench batch_bench watch_bench \
  idle_bench; do
  VELTRIM_BENCH_SHORT=1 "$root/build/bench/$b"
done

step "scalar unit tests"
(cd "$root/build-scalar" && ctest --output-on-failure -j "$jobs" -L unit)

step "sanitizer tests"
(cd "$root/build-asan" && ctest --output-on-failure -j "$jobs" -L 'unit|gl|batch|monkey')

step "tests"
cd "$root/build"
ctest --output-on-failure -j "$jobs"

step "the README's first command"
bash "$root/tests/gui/first_command.sh" "$root" "$root/build/tests/gui/x_close_window" \
  "$root/build/tests/gui/shots"

step "mutation check"
"$root/scripts/mutate.sh" -s 8
echo "CI done in $SECONDS s"
