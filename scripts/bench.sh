#!/usr/bin/env bash
# Benchmarks of the UDP path (timing programs, not tests).
#   (a) burst absorption: devsim answers one network inquiry for 255 devices
#       at once; the time from the inquiry to the last reply stored, every
#       reply analysed and stored. Runs in private network namespaces
#       (scripts/netns.sh; needs root).
#   (b) analysis throughput on one thread beside a bare receive loop over the
#       same datagrams (loopback only), and their ratio.
# Usage: scripts/bench.sh [build-dir]   (default: build; built if needed)
# Environment: ROUNDS (burst rounds, default 20), CYCLES (analysis cycles,
# default 40), JOBS (build jobs, default 2).
set -euo pipefail
cd "$(dirname "$0")/.."

dir=${1:-build}
rounds=${ROUNDS:-20}
cycles=${CYCLES:-40}
jobs=${JOBS:-2}

if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$dir" -j"$jobs" --target udp_bench devsim >/dev/null

bench=$(realpath "$dir/tools/bench/udp_bench")
devsim=$(realpath "$dir/tools/devsim/devsim")

echo "== (a) burst absorption: 250 cameras + 5 controllers answer at once =="
bash scripts/netns.sh run --wait-udp 52380 -- "$devsim" --count-cameras 250 --count-controllers 5 -- \
    "$bench" burst --devices 255 --rounds "$rounds"
echo "-- the same with the connection log written for every datagram --"
bash scripts/netns.sh run --wait-udp 52380 -- "$devsim" --count-cameras 250 --count-controllers 5 -- \
    "$bench" burst --devices 255 --rounds "$rounds" --connection-log
# The connection log lands beside the program; it is not kept.
rm -rf "$(dirname "$bench")/log"

echo "== (b) analysis throughput beside a bare receive loop (loopback) =="
"$bench" analysis --cycles "$cycles"
