#!/usr/bin/env bash
# Pictures of the real client for the README, each cropped to its 640 x 480 window: the title
# menu, a single-player game with the heads-up display, and the lobby of a LAN game where two
# clients found the real server and talk. Runs in a private Xvfb (and network namespace where the
# machine allows it).
#
#   tools/screenshots.sh [-b build] [-d display] [-o dir]    # dir: docs/screenshots
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=build
display=
out=$here/../docs/screenshots
while getopts "b:d:o:" o; do
  case $o in
    b) build=$OPTARG ;;
    d) display=$OPTARG ;;
    o) out=$OPTARG ;;
    *) exit 2 ;;
  esac
done
build=$(cd "$build" && pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)
. "$here/x_session.sh"
xs_private_net "$0" -b "$build" ${display:+-d "$display"} -o "$out"
[ -z "$display" ] && display=$(xs_free_display)

work=$(mktemp -d)
xs_xvfb=
server=
alpha=
bravo=
cleanup() {
  xs_stop "$alpha" "$bravo" "$server" "$xs_xvfb"
  rm -rf "$work"
}
trap cleanup EXIT
xs_start_x "$display"

# Window $1 into $out/$2, as a small PNG.
shot() {
  import -window "$1" "$work/raw.png"
  convert "$work/raw.png" -strip -colors 255 "PNG8:$out/$2"
  echo "$out/$2"
}

"$build/corvane3d_server" >"$work/server.out" 2>&1 &
server=$!

xs_client "$work/alpha.out" -details 2 -nick ALPHA
alpha=$xs_pid
wa=$xs_window
xdotool windowmove --sync "$wa" 0 0
sleep 1.5
shot "$wa" menu.png

xs_keys "$wa" Return # SINGLE PLAYER
sleep 2.5
xdotool keydown Up
sleep 1.2
xdotool keyup Up keydown Left
sleep 0.4
xdotool keyup Left key space
sleep 0.8
shot "$wa" game.png
xs_keys "$wa" Escape

# Both find the server, connect to the first one found, and join.
join() {
  xs_keys "$1" Down Return           # MULTI PLAYER
  xs_keys "$1" Down Down Down Return # FIND SERVERS
  sleep 1.5
  xs_keys "$1" Return # the first server found
  sleep 0.5
  xs_keys "$1" Return # JOIN
  sleep 0.5
}
join "$wa"
xs_client "$work/bravo.out" -details 2 -nick BRAVO
bravo=$xs_pid
wb=$xs_window
xdotool windowmove --sync "$wb" 0 500
sleep 1
join "$wb"
xs_keys "$wa" t
xs_type "$wa" "hello bravo, one more round?"
xs_keys "$wa" Return
xs_keys "$wb" t
xs_type "$wb" "sure, start it"
xs_keys "$wb" Return
sleep 0.8
shot "$wa" lobby.png
