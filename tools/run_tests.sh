#!/usr/bin/env bash
# Runs every test through CTest; starts a private Xvfb when there is no display.
set -euo pipefail
build=${1:-build}
cd "$build"
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure --timeout 300
fi
exec ctest --output-on-failure --timeout 300
