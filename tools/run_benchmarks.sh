#!/usr/bin/env bash
# Runs every benchmark program (under Xvfb when there is no display), then the real client's frame
# times, memory and a detail-switching run (tools/frame_times.sh), and ends with one table: each
# figure beside its goal. CORVANE_SWITCH_SECONDS sets the length of the detail-switching run (120).
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
here=$(dirname "$0")
if command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
  echo "== real client frame times"
  "$here/frame_times.sh" -b "$build" | tee -a "$log" || echo "(frame times failed)"
  echo "== real client switching detail levels"
  "$here/frame_times.sh" -b "$build" -c "${CORVANE_SWITCH_SECONDS:-120}" | tee -a "$log" ||
    echo "(detail-switching run failed)"
fi
echo
echo "== summary: each figure beside its goal"
# A benchmark prints a line each time it runs while settling on its iteration count: keep the last
# line of each figure, in the order the figures first appeared.
grep '^GOAL|' "$log" | awk -F'|' '
  !($2 in last) { order[++n] = $2 }
  { last[$2] = $0 }
  END {
    if (n == 0) { print "(no goals reported)"; exit }
    printf "%-58s %10s %-6s %-10s %s\n", "figure", "value", "unit", "goal", ""
    for (i = 1; i <= n; ++i) {
      split(last[order[i]], f, "|")
      printf "%-58s %10s %-6s %-10s %s\n", f[2], f[3], f[4], f[5] " " f[6], f[7]
    }
  }' || echo "(no goals reported)"
