#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UBSan) and runs each for a
# bounded time: the server's message handling, then the client's session and game stream against
# whatever a server sends (the script runs in a private network namespace where the machine allows
# it, since the client's target listens on port 1234).
# Usage: tools/fuzz/run_fuzz.sh [seconds] [build dir]
set -euo pipefail
# shellcheck source=../x_session.sh
. "$(dirname "$0")/../x_session.sh"
xs_private_net "$0" "$@"
cd "$(dirname "$0")/../.."
seconds=${1:-60}
out=${2:-build-fuzz}
mkdir -p "$out/corpus"
clang++ -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -Icommon -Icorvane3d_server \
  tools/fuzz/server_fuzz.cpp common/*.cpp $(ls corvane3d_server/*.cpp | grep -v /main.cpp) \
  -o "$out/server_fuzz"

# Seeds. Each step is a control byte (peer in the low bits, action above) and, for a write, a
# length byte and the bytes to write.
join() { # peer nick: a whole 104-byte Join
  printf "\\x0$1\\x68\\x00\\x00\\x00\\x00\\x68\\x00\\x00\\x00\\x00\\x00\\x00\\x00$2"
  head -c $((92 - ${#2})) /dev/zero
}
# Peers 0 and 1 join, 0 starts a game and asks for the labyrinth, 1 relays and 1 goes away.
{
  join 0 Ann
  join 1 Bob
  printf '\x00\x08\x0f\x00\x00\x00\x08\x00\x00\x00'
  printf '\x00\x0c\x02\x00\x00\x00\x0c\x00\x00\x00\x00\x00\x00\x00'
  printf '\x01\x10\x08\x00\x00\x00\x10\x00\x00\x00\x02\x00\x00\x00\x01\x00\x00\x00'
  printf '\x00\x0c\x01\x00\x00\x00\x0c\x00\x00\x00\x01\x00\x00\x00\xfd'
} > "$out/corpus/seed_join_start"
# Peer 2 sends half a header, peer 0 relays past it, peer 2 goes away.
printf '\x02\x04\x09\x00\x00\x00\x00\x10\x0d\x00\x00\x00\x10\x00\x00\x00\x05\x00\x00\x00\x00\x00\x00\x00\xfe' \
  > "$out/corpus/seed_half_header"
# Peer 2 sends half a header and time passes (11 s): the server drops it; peer 0 still relays.
printf '\x02\x04\x09\x00\x00\x00\xf6\x00\x10\x0d\x00\x00\x00\x10\x00\x00\x00\x05\x00\x00\x00\x00\x00\x00\x00' \
  > "$out/corpus/seed_time_out"

"$out/server_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 "$out/corpus"

# The client's rules files (no GL, GLUT or SDL), as CMakeLists.txt sorts them.
client_sources=$(ls corvane3d_client/{core,net,vehicle,arena,bombs}/*.cpp |
  grep -v -E '_(render|draw|gl|sdl)\.cpp$|/main\.cpp$')
client_includes=$(for d in corvane3d_client corvane3d_client/{core,net,vehicle,arena,bombs} common; do
  printf -- '-I%s ' "$d"; done)
# shellcheck disable=SC2086
clang++ -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  $client_includes tools/fuzz/client_fuzz.cpp $client_sources common/*.cpp -o "$out/client_fuzz"
mkdir -p "$out/client_corpus"
CLIENT_FUZZ_SEEDS="$out/client_corpus" "$out/client_fuzz"
"$out/client_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
  -close_fd_mask=3 -print_final_stats=1 "$out/client_corpus"
