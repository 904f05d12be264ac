#!/usr/bin/env bash
# Builds the socket tests (test_net, test_server) with AddressSanitizer and UndefinedBehaviorSanitizer
# in a second build directory and runs them; ends with "asan: N passed, N failed".
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-asan}
jobs=${JOBS:-2}
tools/install_deps.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCORVANE_SANITIZE=ON >/dev/null
targets=""
for t in net server; do
  if ls tests/$t/*.cpp >/dev/null 2>&1; then targets="$targets test_$t"; fi
done
if [ -z "$targets" ]; then
  echo "asan: 0 passed, 0 failed"
  exit 0
fi
# shellcheck disable=SC2086
cmake --build "$build" -j "$jobs" --target $targets
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export SDL_AUDIODRIVER=dummy
# The server soak runs a two-minute game here; the plain test run keeps its short default.
export CORVANE_SOAK_SECONDS=${CORVANE_SOAK_SECONDS:-120}
# Each binary runs in a private network namespace where one exists, so that port 1234 is its own.
isolated() {
  if unshare -n true 2>/dev/null && command -v ip >/dev/null; then
    unshare -n sh -c 'ip link set lo up && exec "$@"' sh "$@"
  else
    "$@"
  fi
}
passed=0
failed=0
status=0
for t in $targets; do
  log="$build/$t.log"
  if (cd "$build" && isolated "./$t") >"$log" 2>&1; then :; else status=1; fi
  tail -n 3 "$log"
  p=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$log" | tail -n 1)
  f=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) test.*/\1/p' "$log" | tail -n 1)
  passed=$((passed + ${p:-0}))
  failed=$((failed + ${f:-0}))
  if [ -z "$p" ] && [ -z "$f" ]; then
    echo "$t did not finish; its log:"
    tail -n 40 "$log"
    failed=$((failed + 1))
  fi
done
echo "asan: $passed passed, $failed failed"
exit $status
