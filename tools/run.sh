#!/usr/bin/env bash
# Builds the viewer, makes its sample folder on the first run, and starts it.
# Without a display it runs under Xvfb for a few seconds and saves a screenshot
# of the window instead.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-deps.sh
# Only the programs: what the tests and benchmarks need is installed by tools/test.sh.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCXV_TESTS=OFF -DCXV_BENCH=OFF >/dev/null
cmake --build build --target cxviewer cxv-screenshot cxv-make-samples
# The folder the viewer opens at its first start, made whole or not at all.
if [ ! -d build/bin/ViewerData ]; then
    rm -rf build/bin/ViewerData.partial
    build/bin/cxv-make-samples build/bin/ViewerData.partial
    mv build/bin/ViewerData.partial build/bin/ViewerData
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec build/bin/cxviewer
fi

shot="$PWD/build/cxviewer-screenshot.png"
rm -f "$shot"
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    build/bin/cxviewer & viewer=$!
    sleep 7
    build/bin/cxv-screenshot "$1"
    kill $viewer; wait $viewer 2>/dev/null || true' _ "$shot"
[ -f "$shot" ] || { echo "No screenshot was taken." >&2; exit 1; }
echo "No display found: the viewer ran under Xvfb; screenshot saved to $shot"
