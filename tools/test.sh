#!/usr/bin/env bash
# Builds everything and runs every test under Xvfb.
# With --sanitize the build is instrumented with AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-deps.sh test
if [ "${1:-}" = --sanitize ]; then
    dir=build-asan
    options=(-DCXV_SANITIZE=ON)
else
    dir=build
    options=()
fi
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCXV_TESTS=ON -DCXV_BENCH=ON "${options[@]}" >/dev/null
cmake --build "$dir"
# GUI tests share the one X server and its window activation, so they run one at a time.
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir "$dir" --output-on-failure
