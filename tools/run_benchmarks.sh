#!/usr/bin/env bash
# Runs every benchmark program (under Xvfb when there is no display) and prints their tables.
set -euo pipefail
build=${1:-build}
run() {
  if [ -z "${DISPLAY:-}" ]; then xvfb-run -a -s "-screen 0 1024x768x24" "$@"; else "$@"; fi
}
log=$(mktemp)
trap 'rm -f "$log"' EXIT
for b in "$build"/*_bench; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  run "$b" --benchmark_min_time=0.2 | tee -a "$log"
done
echo
echo "== summary: each figure beside its goal"
grep '^GOAL|' "$log" | awk -F'|' 'BEGIN { printf "%-52s %12s %-6s %-12s %s\n", "figure", "value", "unit", "goal", "" }
  { printf "%-52s %12s %-6s %-12s %s\n", $2, $3, $4, $5 " " $6, $7 }' || echo "(no goals reported)"
