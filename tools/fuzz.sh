#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer and runs each for a while
# (seconds per target as the first argument, 30 by default). Any sanitizer
# report, undefined behaviour included, fails the run; every target runs
# before the exit status says so.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-deps.sh test
seconds="${1:-30}"
dir=build-fuzz
CC=clang-14 CXX=clang++-14 cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCXV_FUZZ=ON -DCXV_BENCH=OFF >/dev/null
targets=$(sed -n 's/^cxv_add_fuzzer(\([a-z0-9_]*\).*/\1/p' fuzz/CMakeLists.txt)
[ -n "$targets" ] || { echo "no fuzz targets"; exit 0; }
cmake --build "$dir" --target $targets

export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:abort_on_error=1
failed=()
for t in $targets; do
    work="$dir/corpus/$t"
    mkdir -p "$work"
    echo "== $t for ${seconds}s"
    "$dir/bin/$t" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
        -artifact_prefix="$dir/" "$work" "fuzz/corpus/$t" || failed+=("$t")
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing found faults in: ${failed[*]} (inputs saved in $dir/)"
    exit 1
fi
