#!/usr/bin/env bash
# Installs what is missing, then configures, builds and runs every test twice:
# a plain build and a build with AddressSanitizer and UndefinedBehaviorSanitizer;
# then the concurrency tests under ThreadSanitizer.
# Exits non-zero when any step or test fails.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

run_suite() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    cmake --build "$dir" -j"$jobs"
    ctest --test-dir "$dir" --output-on-failure -j"$jobs" --timeout 600
}

echo "== plain build =="
run_suite build
echo "== sanitizer build (address, undefined) =="
run_suite build-asan -DKORVO_SANITIZE=ON
echo "== thread sanitizer build (concurrency tests) =="
bash scripts/tsan-tests.sh build-tsan
echo "all tests passed"
