#!/usr/bin/env bash
# Builds the server fuzz target with clang (libFuzzer, AddressSanitizer, UBSan) and runs it for a
# bounded time. Usage: tools/fuzz/run_fuzz.sh [seconds] [build dir]
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-60}
out=${2:-build-fuzz}
mkdir -p "$out/corpus"
clang++ -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -Icommon -Icorvane3d_server \
  tools/fuzz/server_fuzz.cpp common/*.cpp corvane3d_server/server.cpp corvane3d_server/labyrinth.cpp \
  -o "$out/server_fuzz"
# Seeds: a Join, a LabyrinthRequest and a StartGame from peer 0, a relay from peer 1.
printf '\x00\x68\x00\x00\x00\x00\x68\x00\x00\x00\x00\x00\x00\x00Ann' > "$out/corpus/seed_join"
printf '\x00\x0c\x02\x00\x00\x00\x0c\x00\x00\x00\x00\x00\x00\x00\x00\x08\x0f\x00\x00\x00\x08\x00\x00\x00' \
  > "$out/corpus/seed_start"
printf '\x01\x10\x08\x00\x00\x00\x10\x00\x00\x00\x01\x00\x00\x00\x01\x00\x00\x00\xfd' \
  > "$out/corpus/seed_relay"
"$out/server_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 "$out/corpus"
