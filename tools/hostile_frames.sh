#!/usr/bin/env bash
# The real client against misbehaving servers (corvane_hostile_server): for each scenario, starts
# the server, runs the client in a private Xvfb in its uncapped frame-time mode with -server
# 127.0.0.1, joins through the MULTI PLAYER page, and after the harm reports the longest gap
# between two frames and the frames over 100 ms (besides the switch into a game, given apart),
# where the client ended (menu or game), its memory (VmRSS, peak VmHWM, RssAnon) and whether
# control bytes reached its output. Runs in a private network namespace where the machine allows
# it, so port 1234 is its own.
#
#   tools/hostile_frames.sh [-b build] [-d display] [-t seconds] [-o dir] [scenario ...]
#                           # seconds: flood and wait length (10); dir keeps a screenshot and the
#                           # frame log of each
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=build
display=
seconds=10
out=
while getopts "b:d:t:o:" o; do
  case $o in
    b) build=$OPTARG ;;
    d) display=$OPTARG ;;
    t) seconds=$OPTARG ;;
    o) out=$OPTARG ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))
build=$(cd "$build" && pwd)
[ -n "$out" ] && mkdir -p "$out" && out=$(cd "$out" && pwd)
. "$here/x_session.sh"
xs_private_net "$0" -b "$build" ${display:+-d "$display"} -t "$seconds" ${out:+-o "$out"} "$@"
[ -z "$display" ] && display=$(xs_free_display)
server=$build/corvane_hostile_server
scenarios=("$@")
[ ${#scenarios[@]} -eq 0 ] && mapfile -t scenarios < <("$server" list)

work=$(mktemp -d)
xs_xvfb=
xs_pid=
spid=
cleanup() {
  xs_stop "$xs_pid" "$spid" "$xs_xvfb"
  rm -rf "$work"
}
trap cleanup EXIT
xs_start_x "$display"

status() { awk -v k="$2:" '$1 == k { printf "%.1f", $2 / 1024 }' "/proc/$1/status"; }
# Waits up to $2 tenths of a second for the server's output to hold the line $1.
await() {
  for _ in $(seq "$2"); do grep -qx "$1" "$work/server.out" && return 0; sleep 0.1; done
  return 1
}

printf "%-26s %8s %6s %8s %6s %8s %8s %8s %s\n" scenario "gap ms" ">100" "switch" ends \
  "rss MB" "peak MB" "anon MB" "control bytes"
for scenario in "${scenarios[@]}"; do
  "$server" "$scenario" "$seconds" >"$work/server.out" 2>&1 &
  spid=$!
  await listening 50 || { echo "$scenario: the server did not start" >&2; continue; }
  : >"$work/frames"
  CORVANE_FRAME_TIMES="$work/frames" xs_client "$work/client.out" -details 1 \
    -server 127.0.0.1 -nick TESTER
  sleep 1
  xs_keys "$xs_window" Down Return # MULTI PLAYER
  sleep 0.3
  xs_keys "$xs_window" Down Down Return # JOIN
  await "harm: $scenario" 300 || true
  before=$(status "$xs_pid" RssAnon)
  await done $((seconds * 10 + 400)) || true
  sleep 3
  [ -n "$out" ] && import -window "$xs_window" "$out/$scenario.png" 2>/dev/null || true
  rss=$(status "$xs_pid" VmRSS)
  peak=$(status "$xs_pid" VmHWM)
  anon=$(status "$xs_pid" RssAnon)
  xs_stop "$xs_pid" "$spid"
  xs_pid=
  spid=
  [ -n "$out" ] && cp "$work/frames" "$out/$scenario.frames"
  # The longest gap and the frames over 100 ms besides the switch from the menu into a game, and
  # the gap of that switch (the world is built from the labyrinth then).
  read -r gap over switch ends <<<"$(awk '
    { if (prev == -1 && $1 >= 0) { if ($4 > sw) sw = $4 }
      else { if ($4 > max) max = $4; if ($4 > 100000) over++ }
      prev = $1 }
    END { printf "%.1f %d %.1f %s\n", max / 1000, over + 0, sw / 1000, (prev >= 0 ? "game" : "menu") }' \
    "$work/frames")"
  control=$(LC_ALL=C grep -c $'[\x01-\x08\x0b-\x1f\x7f]' "$work/client.out" || true)
  printf "%-26s %8s %6s %8s %6s %8s %8s %8s %s\n" "$scenario" "$gap" "$over" "$switch" "$ends" \
    "$rss" "$peak" "$anon" "$control (anon $before MB at the harm)"
done
