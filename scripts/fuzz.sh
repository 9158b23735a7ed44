#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, address and undefined sanitizers) and
# runs each for the given number of seconds (default 300), two at a time.
#   scripts/fuzz.sh [seconds] [parallel runs] [target ...]
# Build folder: build-fuzz (set FUZZ_BUILD_DIR to change it). Seeds are
# written by make_corpus into <build>/fuzz-seeds; what the fuzzer learns is
# kept in <build>/fuzz-corpus between runs; crashes, hangs and broken
# invariants are written to <build>/fuzz-artifacts and make the script fail.
# Needs clang and its libFuzzer runtime (Debian: clang, libclang-rt-14-dev).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-300}
parallel=${2:-2}
build=${FUZZ_BUILD_DIR:-build-fuzz}
targets=(fuzz_reply_analysis fuzz_profile fuzz_judge fuzz_devsim)
if [ $# -gt 2 ]; then
    targets=("${@:3}")
fi

if ! command -v clang++ >/dev/null; then
    echo "fuzz.sh: clang++ is missing (Debian: apt-get install clang libclang-rt-14-dev)" >&2
    exit 2
fi
if ! clang++ -print-file-name=libclang_rt.fuzzer-x86_64.a | grep -q /; then
    echo "fuzz.sh: the libFuzzer runtime is missing (Debian: apt-get install libclang-rt-14-dev)" >&2
    exit 2
fi

cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKORVO_SANITIZE=ON -DKORVO_FUZZ=ON >/dev/null
cmake --build "$build" -j2 --target make_corpus "${targets[@]}" >/dev/null

"$build/tools/fuzz/make_corpus" "$build/fuzz-seeds"
mkdir -p "$build/fuzz-artifacts"

# The settings file target writes its files below TMPDIR; libFuzzer ends
# without running exit handlers, so the folder is emptied here.
case "$build" in
/*) export TMPDIR="$build/fuzz-tmp" ;;
*) export TMPDIR="$PWD/$build/fuzz-tmp" ;;
esac
rm -rf "$TMPDIR"
mkdir -p "$TMPDIR"
trap 'rm -rf "$TMPDIR"' EXIT

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

run_one() {
    local t=$1
    local corpus="$build/fuzz-corpus/$t"
    mkdir -p "$corpus"
    local status=0
    "$build/tools/fuzz/$t" -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
        -dict="tools/fuzz/$t.dict" -print_final_stats=1 -artifact_prefix="$build/fuzz-artifacts/$t-" \
        "$corpus" "$build/fuzz-seeds/$t" >"$build/fuzz-artifacts/$t.log" 2>&1 || status=$?
    local execs
    execs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$build/fuzz-artifacts/$t.log" | awk '{print $2}')
    local cov
    cov=$(grep -o 'cov: [0-9]*' "$build/fuzz-artifacts/$t.log" | tail -n 1 | awk '{print $2}')
    if [ "$status" -eq 0 ]; then
        echo "$t: ${seconds} s, ${execs:-?} executions, coverage ${cov:-?}, corpus $(ls "$corpus" | wc -l) inputs: clean"
    else
        echo "$t: FAILED (status $status) - see $build/fuzz-artifacts/$t.log"
        grep -E 'invariant broken|ERROR|runtime error|SUMMARY' "$build/fuzz-artifacts/$t.log" | head -n 5
    fi
    return "$status"
}

failed=0
pids=()
for t in "${targets[@]}"; do
    run_one "$t" &
    pids+=($!)
    if [ ${#pids[@]} -ge "$parallel" ]; then
        wait "${pids[0]}" || failed=1
        pids=("${pids[@]:1}")
    fi
done
for p in "${pids[@]}"; do
    wait "$p" || failed=1
done
exit "$failed"
