#!/usr/bin/env bash
# Builds the Debian package in build-package/ from a Release build of the
# programs it ships, lists its files, and checks its desktop entry and MIME
# package. Any error, or a warning of the checkers, fails it.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/setup-deps.sh package
dir=build-package
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCXV_TESTS=OFF -DCXV_BENCH=OFF >/dev/null
cmake --build "$dir" --target cxviewer cxvinfo cxv-make-samples
rm -f "$dir"/cxviewer_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls "$dir"/cxviewer_*.deb)
echo "$deb"
dpkg-deb -f "$deb" Package Version Depends Recommends
dpkg-deb -c "$deb"

# Check the files as packaged, not the sources.
contents=$(mktemp -d)
trap 'rm -rf "$contents"' EXIT
dpkg-deb -x "$deb" "$contents"
for f in usr/bin/cxviewer usr/bin/cxvinfo usr/bin/cxv-make-samples \
         usr/share/applications/cxviewer.desktop usr/share/mime/packages/cxviewer.xml \
         usr/share/icons/hicolor/{32x32,48x48,256x256}/apps/cxviewer.png; do
    [ -s "$contents/$f" ] || { echo "missing from the package: /$f" >&2; exit 1; }
done
# Hints (such as an entry in two main menu categories) are advice, not faults.
report=$(desktop-file-validate "$contents/usr/share/applications/cxviewer.desktop" 2>&1) || {
    echo "$report" >&2; exit 1; }
echo "${report:-desktop entry: no remarks}"
if grep -E ': (error|warning): ' <<<"$report" >&2; then exit 1; fi
xmllint --noout "$contents/usr/share/mime/packages/cxviewer.xml"
# Debian ships no schema for it: build a MIME database of this package alone,
# which refuses what it does not understand, and look up the extensions.
mkdir -p "$contents/mime/packages"
cp "$contents/usr/share/mime/packages/cxviewer.xml" "$contents/mime/packages/"
report=$(XDG_DATA_DIRS="$contents" update-mime-database "$contents/mime" 2>&1)
if [ -n "$report" ]; then echo "$report" >&2; exit 1; fi
for glob in vmr:vmr srf:srf vmp:vmp smp:smp nifti:nii nifti:nii.gz; do
    type=x-cortivex-${glob%%:*}
    [ "${glob%%:*}" = nifti ] && type=x-nifti
    ext=${glob#*:}
    grep -qE ":application/$type:\*\.${ext//./\\.}(:|\$)" "$contents/mime/globs2" || {
        echo "the MIME package does not declare *.${glob#*:}" >&2; exit 1; }
done
echo "MIME package: well-formed, *.vmr *.srf *.vmp *.smp *.nii *.nii.gz declared"
for size in 32 48 256; do
    file -b "$contents/usr/share/icons/hicolor/${size}x$size/apps/cxviewer.png" |
        grep -q "PNG image data, $size x $size," || { echo "icon ${size}x$size: wrong size" >&2; exit 1; }
done
echo "icons: 32, 48 and 256 pixels"
