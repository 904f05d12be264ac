# Shell functions for scripts that drive the real client under a private Xvfb; sourced, not run.
# The caller sets build (an absolute path) and work (a scratch directory) first; xs_private_net
# needs neither (the fuzz script uses it too).

# Runs the calling script again in a private network namespace, where the machine allows it, so
# that port 1234 is its own: xs_private_net "$0" ARGS...
xs_private_net() {
  if [ -z "${CORVANE_PRIVATE_NET:-}" ] && unshare -n true 2>/dev/null; then
    export CORVANE_PRIVATE_NET=1
    exec unshare -n sh -c 'ip link set lo up && exec "$@"' sh "$@"
  fi
}

# The first display number from :90 without a lock file.
xs_free_display() {
  local d=90
  while [ -e "/tmp/.X$d-lock" ]; do d=$((d + 1)); done
  echo "$d"
}

# Starts Xvfb on display $1 (sets xs_xvfb) and gives the clients their own settings: a 640 x 480
# window, no sound.
xs_start_x() {
  for tool in Xvfb xdotool import; do
    command -v $tool >/dev/null || { echo "$0: $tool is missing" >&2; exit 1; }
  done
  Xvfb ":$1" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xs_xvfb=$!
  export DISPLAY=":$1" SDL_AUDIODRIVER=dummy XDG_CONFIG_HOME="$work/config"
  for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
  if ! xdotool getmouselocation >/dev/null 2>&1; then
    echo "$0: Xvfb :$1 did not start" >&2
    exit 1
  fi
  mkdir -p "$XDG_CONFIG_HOME/corvane3d"
  printf 'display=640x480\nsound=off\n' >"$XDG_CONFIG_HOME/corvane3d/settings"
}

# Starts the client with the arguments after $1, its output going to file $1; sets xs_pid and
# xs_window (its window, the corvane3D window that was not there before).
xs_client() {
  local log=$1 before now id
  shift
  before=$(xdotool search --name '^corvane3D$' 2>/dev/null || true)
  (cd "$build" && exec "$build/corvane3d_client" -nosound "$@" >"$log" 2>&1) &
  xs_pid=$!
  xs_window=
  for _ in $(seq 200); do
    now=$(xdotool search --name '^corvane3D$' 2>/dev/null || true)
    for id in $now; do
      grep -qx "$id" <<<"$before" || xs_window=$id
    done
    [ -n "$xs_window" ] && return 0
    sleep 0.1
  done
  echo "$0: the client opened no window" >&2
  exit 1
}

# Presses keys (xdotool names) in window $1, the pointer over it.
xs_keys() {
  local w=$1
  shift
  xdotool mousemove --window "$w" 100 100 windowfocus --sync "$w" key --delay 120 "$@"
}

# Types text $2 in window $1.
xs_type() {
  xdotool mousemove --window "$1" 100 100 windowfocus --sync "$1" type --delay 100 "$2"
}

# Ends the processes whose ids are given, each in turn.
xs_stop() {
  for p in "$@"; do
    [ -n "$p" ] && kill "$p" 2>/dev/null && wait "$p" 2>/dev/null || true
  done
}
