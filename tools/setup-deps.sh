#!/usr/bin/env bash
# Installs the Debian packages that building (and, with "test", testing, with
# "package", making and checking the .deb) needs.
# Does nothing when they are all present; works as root or through sudo.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools qt6-image-formats-plugins
          libglu1-mesa-dev libgl-dev libegl-dev libgl1-mesa-dri xvfb xauth fonts-dejavu-core
          libnifti2-dev zlib1g-dev libgdcm-dev)
if [ "${1:-}" = test ]; then
    packages+=(dcmtk libimage-exiftool-perl libbenchmark-dev clang-14 libclang-rt-14-dev
               python3-nibabel python3-pydicom python3-gdcm libgdcm-tools dcm2niix)
elif [ "${1:-}" = package ]; then
    packages+=(dpkg-dev file desktop-file-utils libxml2-utils shared-mime-info)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
