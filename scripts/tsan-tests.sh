#!/usr/bin/env bash
# Builds the tests labelled "concurrency" with ThreadSanitizer and runs them.
# Usage: scripts/tsan-tests.sh [build-dir] (default: build-tsan)
# Environment: JOBS (parallel build jobs, default 2), REPEAT (runs of each
# test, default 1). A ThreadSanitizer report fails the test that produced it.
set -euo pipefail
cd "$(dirname "$0")/.."

dir=${1:-build-tsan}
jobs=${JOBS:-2}
repeat=${REPEAT:-1}

cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVO_TSAN=ON >/dev/null

# Every test is its own executable named like the test: build only those.
mapfile -t targets < <(ctest --test-dir "$dir" -L concurrency -N | sed -n 's/^ *Test *#[0-9]*: *//p')
if [ ${#targets[@]} -eq 0 ]; then
    echo "no tests labelled concurrency"
    exit 1
fi
echo "building: ${targets[*]}"
cmake --build "$dir" -j"$jobs" --target "${targets[@]}"

export QT_QPA_PLATFORM=offscreen
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1${TSAN_OPTIONS:+:$TSAN_OPTIONS}"
suppressions="$PWD/tests/tsan.supp"
if [ -f "$suppressions" ]; then
    export TSAN_OPTIONS="$TSAN_OPTIONS:suppressions=$suppressions"
fi
ctest --test-dir "$dir" -L concurrency --output-on-failure --timeout 300 --repeat until-fail:"$repeat"
