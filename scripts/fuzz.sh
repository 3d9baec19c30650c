#!/usr/bin/env bash
# Builds the STL parser fuzzer with clang (libFuzzer + ASan + UBSan) and runs
# it for the given number of seconds (default 60) on the seed corpus; new
# inputs it finds go to build-fuzz/corpus, never into the repository.
# A long run: scripts/fuzz.sh 3600
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
out="$root/build-fuzz"
mkdir -p "$out/corpus"
clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I "$root" "$root"/model/stl_{float,binary,ascii,parser}.cpp "$root/fuzz/stl_parser_fuzz.cpp" -o "$out/stl_parser_fuzz"
cd "$out"
./stl_parser_fuzz -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=2048 -timeout=10 \
  -print_final_stats=1 corpus "$root/fuzz/corpus" 2>&1 | tail -n 25
