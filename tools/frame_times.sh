#!/usr/bin/env bash
# Frame times of the real client: for each window size, starts a private Xvfb of that size, runs
# corvane3d_client full-screen in its uncapped mode (CORVANE_FRAME_TIMES), enters a single-player
# game and stays SECONDS at each detail level (switched with W). Prints p50 / p99 frame times and
# the p50 frame rate per size and level, the client's private memory in the menu and in the game,
# and GOAL lines for tools/run_benchmarks.sh.
#
#   tools/frame_times.sh [-b build] [-s "640x480 800x600"] [-t seconds] [-d display]
#                                   # display: the first free one from :90
#   tools/frame_times.sh -c 120     # one 640 x 480 run switching the level every 2 s for 120 s:
#                                   # the longest frame, the frames over 10 ms, and (under strace)
#                                   # each time the client handed memory back to the system
set -euo pipefail
build=build
sizes="640x480 800x600"
seconds=5
display=
cycle=0
while getopts "b:s:t:d:c:" o; do
  case $o in
    b) build=$OPTARG ;;
    s) sizes=$OPTARG ;;
    t) seconds=$OPTARG ;;
    d) display=$OPTARG ;;
    c) cycle=$OPTARG ;;
    *) exit 2 ;;
  esac
done
if [ -z "$display" ]; then
  display=90
  while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
fi
build_dir=$(cd "$build" && pwd)
client=$build_dir/corvane3d_client
for tool in Xvfb xdotool; do
  command -v $tool >/dev/null || { echo "frame_times: $tool is missing" >&2; exit 1; }
done
work=$(mktemp -d)
xvfb=
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Private memory of process $1 in MB (Private_Clean + Private_Dirty + Private_Hugetlb).
private_mb() {
  awk '/^Private_/ { kb += $2 } END { printf "%.1f", kb / 1024 }' "/proc/$1/smaps_rollup"
}

# Private memory in MB of the GL driver alone in this display (tools/gl_floor.cpp), or "-".
floor_mb() {
  local floor="$build_dir/corvane_gl_floor" f mb=-
  [ -x "$floor" ] || { echo -; return; }
  "$floor" >/dev/null 2>&1 &
  f=$!
  sleep 2
  kill -0 "$f" 2>/dev/null && mb=$(private_mb "$f")
  kill "$f" 2>/dev/null || true
  wait "$f" 2>/dev/null || true
  echo "$mb"
}

# Minor page faults of process $1 so far (pages it touched for the first time).
minor_faults() { awk '{ print $10 }' "/proc/$1/stat"; }

# Lines of the frame log written so far (the client writes them out at least every 200 ms).
lines() { wc -l <"$work/frames" | tr -d ' '; }

# Frame times (microseconds, column 4) of log lines $1+1 .. $2 at detail $3: "p50 p99 max n over10".
stats() {
  sed -n "$(($1 + 1)),$2p" "$work/frames" | awk -v d="$3" '$1 == d { print $4 }' | sort -n |
    awk '{ v[NR] = $1; if ($1 > 10000) over++ }
         END { if (NR == 0) { print "0 0 0 0 0"; exit }
               i50 = int(NR * 0.50); if (i50 < 1) i50 = 1
               i99 = int(NR * 0.99); if (i99 < 1) i99 = 1
               printf "%.3f %.3f %.3f %d %d\n", v[i50] / 1000, v[i99] / 1000, v[NR] / 1000, NR, over + 0 }'
}

# Starts Xvfb of size $1 and the client in it at detail $2, under the command $3 when given (run
# through its words); waits for its window and sets pid to the client's.
start() {
  Xvfb ":$display" -screen 0 "${1}x24" -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY=":$display"
  for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
  if ! kill -0 "$xvfb" 2>/dev/null || ! xdotool getmouselocation >/dev/null 2>&1; then
    echo "frame_times: Xvfb :$display did not start" >&2
    exit 1
  fi
  # The driver's floor is measured alone: pages it shares with a running client would not count.
  [ -z "${3:-}" ] && driver_mb=$(floor_mb)
  : >"$work/frames"
  # shellcheck disable=SC2086
  (cd "$work" && CORVANE_FRAME_TIMES="$work/frames" SDL_AUDIODRIVER=dummy exec ${3:-} "$client" \
    -full -nosound -details "$2" >"$work/client.out" 2>&1) &
  pid=$!
  xdotool search --sync --name '^corvane3D$' >/dev/null
  [ -n "${3:-}" ] && pid=$(pgrep -P "$pid" -x corvane3d_clien)
  xdotool mousemove 10 10
  sleep 1
}

stop() {
  xdotool key Escape
  sleep 0.5
  xdotool key Escape
  for _ in $(seq 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  pid=
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  xvfb=
}

# Times in the strace log $1 between the clock readings $2 and $3 that the client handed memory
# back to the system: "brk-shrinks madvise-frees munmaps".
returns() {
  awk -v from="$2" -v to="$3" '
    / brk\(/ { split($0, r, "= "); now = r[2]  # addresses of one heap: hex of the same length
               if (prev != "" && now < prev && $2 >= from && $2 <= to) brk++
               prev = now }
    $2 < from || $2 > to { next }
    / madvise\(.*MADV_(DONTNEED|FREE)/ { adv++ }
    / munmap\(/ { unmap++ }
    END { printf "%d %d %d\n", brk, adv, unmap }' "$1"
}

if [ "$cycle" -gt 0 ]; then
  tracer=
  if command -v strace >/dev/null; then
    tracer="strace -f -qq --seccomp-bpf -ttt -e trace=brk,munmap,madvise -o $work/syscalls"
  fi
  start 640x480 0 "$tracer"
  xdotool key Return
  # One round through the levels first: the renderer compiles its shaders for each on first use.
  for _ in 0 1 2; do sleep 1.5; xdotool key w; done
  sleep 1
  from=$(lines)
  faults=$(minor_faults "$pid")
  began=$(date +%s.%N)
  end=$((SECONDS + cycle))
  while [ $SECONDS -lt $end ]; do sleep 2; xdotool key w; done
  ended=$(date +%s.%N)
  faults=$(($(minor_faults "$pid") - faults))
  stop
  all=$(tail -n +"$((from + 1))" "$work/frames" | awk '$1 >= 0 { print $4 }' | sort -n |
    awk '{ v[NR] = $1; if ($1 > 10000) over++ } END { printf "%d %.3f %d\n", NR, v[NR] / 1000, over + 0 }')
  read -r n max over <<<"$all"
  # The frame that takes the W key and the first frames at a new level set up its GL state (the
  # renderer builds its code for it): slow frames within 5 frames of a level change are counted
  # apart from the others, which is where trimming the heap would show.
  steady=$(tail -n +"$((from + 1))" "$work/frames" | awk '$1 >= 0 { d[NR] = $1; t[NR] = $4; n = NR }
    END { for (i = 1; i <= n; ++i) {
            if (t[i] <= 10000) continue
            near = 0
            for (j = i - 5; j <= i + 5; ++j) if (j > 1 && j <= n && d[j] != d[j - 1]) near = 1
            if (!near) far++ }
          print far + 0 }')
  echo "detail-switching run: $cycle s, $n frames, longest $max ms, $over over 10 ms" \
    "($((over - steady)) of them within 5 frames of a level change, $steady away from one)," \
    "$faults minor page faults (pages touched for the first time)"
  if [ -n "$tracer" ]; then
    read -r brk adv unmap <<<"$(returns "$work/syscalls" "$began" "$ended")"
    echo "memory handed back to the system meanwhile: $brk heap trims, $adv madvise frees," \
      "$unmap unmaps"
    back=$((brk + adv + unmap))
    echo "GOAL|client memory handed back while switching detail, ${cycle} s|$back|times|<=|0|$([ "$back" -eq 0 ] && echo met || echo NOT MET)"
  else
    echo "memory handed back to the system: not measured (strace is missing)"
  fi
  exit 0
fi

printf "%-9s %-6s %9s %9s %9s %7s %8s\n" size detail "p50 ms" "p99 ms" "max ms" frames "p50 fps"
for size in $sizes; do
  start "$size" 0
  menu_mb=$(private_mb "$pid")
  xdotool key Return
  game_mb=0
  for detail in 0 1 2; do
    [ "$detail" -gt 0 ] && xdotool key w
    sleep 1.5
    from=$(lines)
    sleep "$seconds"
    [ "$detail" -eq 2 ] && game_mb=$(private_mb "$pid")
    # The next level's warm-up lets the log catch up with this level's frames.
    marks[$detail]="$from"
  done
  stop
  total=$(lines)
  for detail in 0 1 2; do
    to=$([ "$detail" -lt 2 ] && echo "${marks[$((detail + 1))]}" || echo "$total")
    read -r p50 p99 max n over <<<"$(stats "${marks[$detail]}" "$to" "$detail")"
    fps=$(awk -v t="$p50" 'BEGIN { printf "%.0f", (t > 0) ? 1000 / t : 0 }')
    printf "%-9s %-6s %9s %9s %9s %7s %8s\n" "$size" "$detail" "$p50" "$p99" "$max" "$n" "$fps"
    if [ "$size" = 640x480 ] && [ "$detail" = 2 ]; then
      echo "GOAL|client frame 640x480 detail 2 (p50 rate)|$fps|fps|>=|300|$([ "$fps" -ge 300 ] && echo met || echo NOT MET)"
    fi
  done
  echo "client private memory at $size: menu $menu_mb MB, game $game_mb MB; the GL driver alone" \
    "drawing one textured, fogged quad: $driver_mb MB"
  for place in menu game; do
    mb=$([ $place = menu ] && echo "$menu_mb" || echo "$game_mb")
    ok=$(awk -v m="$mb" 'BEGIN { print (m <= 50) ? "met" : "NOT MET" }')
    echo "GOAL|client private memory, $place, $size|$mb|MB|<=|50|$ok"
  done
done
