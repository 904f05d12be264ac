#!/usr/bin/env bash
# Runs every test through CTest; starts a private Xvfb when there is no display. Without a display
# the whole run gets a network namespace of its own where the machine allows it, so the tests'
# servers on port 1234 never meet a game server running on this machine.
set -euo pipefail
build=${1:-build}
cd "$build"
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
ctest_cmd=(ctest --output-on-failure --timeout 300)
if [ -n "${DISPLAY:-}" ]; then
  exec "${ctest_cmd[@]}"
fi
run=(xvfb-run -a -s "-screen 0 1024x768x24" "${ctest_cmd[@]}")
if unshare -n true 2>/dev/null && command -v ip >/dev/null; then
  exec unshare -n sh -c 'ip link set lo up && exec "$@"' sh "${run[@]}"
fi
exec "${run[@]}"
