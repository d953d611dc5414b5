#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Tessaly
# need, when they are missing. Nothing is downloaded from elsewhere.
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-qpa-plugins
    # window tests queue input through the platform interface (qpa)
    qt6-base-private-dev
    # TIFF and WebP pictures
    qt6-image-formats-plugins
    libturbojpeg0-dev libjpeg-dev libpng-dev zlib1g-dev libdeflate-dev
    # the view descriptions of two-picture stereo files
    nlohmann-json3-dev
    # wiggle animations: WebP, and GIF with one shared palette
    libwebp-dev libgif-dev libimagequant-dev
    # alignment: only the modules it links, never the meta-package
    libopencv-core-dev libopencv-imgproc-dev libopencv-features2d-dev libopencv-calib3d-dev
    # the window's font
    fonts-dejavu-core
    # tests and benchmarks
    libgtest-dev libbenchmark-dev
    xvfb xauth x11-utils python3 python3-xlib python3-pil desktop-file-utils shared-mime-info
    # the package (scripts/package.sh) and its test: man pages from --help,
    # shlibdeps, lintian, AppStream, rendering man pages, trying the completion
    help2man dpkg-dev file lintian appstream man-db groff-base bsdextrautils bash-completion
    # setpriv: a batch test drops root rights to meet a read-only folder
    util-linux
    # reads the MPO and JPS files back as other programs do
    libimage-exiftool-perl
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
"${sudo[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q "${missing[@]}"
