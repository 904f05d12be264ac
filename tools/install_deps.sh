#!/usr/bin/env bash
# Installs the Debian packages the build, the game and the tests need.
# Does nothing (and needs no network) when they are all present.
set -euo pipefail
PKGS="build-essential cmake pkg-config freeglut3-dev libglu1-mesa-dev libgl1-mesa-dri \
libpng-dev zlib1g-dev libsdl2-dev libsdl2-mixer-dev libgtest-dev libgmock-dev libbenchmark-dev \
xvfb xauth xdotool strace imagemagick clang libclang-rt-14-dev iproute2 util-linux dpkg-dev"
missing=""
for p in $PKGS; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" != 0 ]; then
  echo "missing packages:$missing (run as root to install them)" >&2
  exit 1
fi
echo "installing:$missing"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends $missing
