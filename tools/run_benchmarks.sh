#!/usr/bin/env bash
# Runs every benchmark program (under Xvfb when there is no display) and prints their tables.
set -euo pipefail
build=${1:-build}
run() {
  if [ -z "${DISPLAY:-}" ]; then xvfb-run -a -s "-screen 0 1024x768x24" "$@"; else "$@"; fi
}
for b in "$build"/*_bench; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  run "$b" --benchmark_min_time=0.2
done
