#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer and runs each for a while
# (seconds per target as the first argument, 30 by default), with the input
# length that fuzz/CMakeLists.txt gives it. Any sanitizer report, undefined
# behaviour included, fails the run; every target runs before the exit status
# says so.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-deps.sh test
seconds="${1:-30}"
dir=build-fuzz
CC=clang-14 CXX=clang++-14 cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCXV_FUZZ=ON -DCXV_BENCH=OFF >/dev/null
# Lines "cxv_add_fuzzer(NAME MAX_LEN N ..." become "NAME N".
table=$(sed -n 's/^cxv_add_fuzzer(\([a-z0-9_]*\) MAX_LEN \([0-9]*\) .*/\1 \2/p' fuzz/CMakeLists.txt)
declared=$(grep -c '^cxv_add_fuzzer(' fuzz/CMakeLists.txt || true)
if [ -z "$table" ] || [ "$(wc -l <<<"$table")" -ne "$declared" ]; then
    echo "fuzz/CMakeLists.txt: every target needs a line cxv_add_fuzzer(NAME MAX_LEN N ..."
    exit 1
fi
mapfile -t targets < <(cut -d' ' -f1 <<<"$table")
cmake --build "$dir" --target "${targets[@]}"

export ASAN_OPTIONS=detect_leaks=1
# GDCM's JPEG-LS codec keeps the buffer of a frame it fails to decode.
export LSAN_OPTIONS=suppressions=tools/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:abort_on_error=1
failed=()
while read -r t max_len; do
    work="$dir/corpus/$t"
    mkdir -p "$work"
    echo "== $t for ${seconds}s, inputs up to $max_len bytes"
    "$dir/bin/$t" -max_total_time="$seconds" -max_len="$max_len" -rss_limit_mb=2048 \
        -timeout=10 -artifact_prefix="$dir/" "$work" "fuzz/corpus/$t" </dev/null || failed+=("$t")
done <<<"$table"
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing found faults in: ${failed[*]} (inputs saved in $dir/)"
    exit 1
fi
