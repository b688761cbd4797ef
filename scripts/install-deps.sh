#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Vellora need.
# Only packages that are missing are installed; nothing happens when all are present.
set -euo pipefail

packages=(
    build-essential cmake ninja-build ccache pkg-config clang clang-format libclang-rt-dev
    qt6-base-dev qt6-base-dev-tools qt6-image-formats-plugins libgl-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libavformat-dev libavcodec-dev libavutil-dev libswscale-dev
    # the raster library's TIFF and PNG readers; libjpeg-turbo codes Motion JPEG frames
    libtiff-dev libpng-dev libjpeg-dev
    # "Match object": OpenCV's correlation and pyramids (core and imgproc); "Find pairs":
    # its object detection with the cascades of opencv-data
    libopencv-core-dev libopencv-imgproc-dev libopencv-objdetect-dev opencv-data
    # used by the tests: fixture checks, video decoding, a real X server
    netpbm python3 python3-pil imagemagick ffmpeg xvfb xauth
    # libtiff's tiffcp and tiff2rgba write and check the BigTIFF and tiled fixtures
    libtiff-tools
    # the screenshots (make screenshots) and the Debian package (make package)
    xdotool dpkg-dev desktop-file-utils
    # the package test checks that a .mor file opens with Vellora (xdg-mime)
    xdg-utils shared-mime-info
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
