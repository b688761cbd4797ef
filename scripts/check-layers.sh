#!/usr/bin/env bash
# Checks that every test program links only the layer it tests, that the
# command-line program links no part of the window, and that neither program
# links OpenCV (only the vision module does, loaded when matching): reads the
# link command of each target from the Ninja build and fails on a library it
# must not link. "libopencv_" stands for every OpenCV library.
#
#   scripts/check-layers.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: check-layers.sh BUILD_DIR}

# Test programs by prefix, and the libraries each must not link.
declare -A forbidden=(
    [raster]="libcore.a libeditor.a libcontrols.a libapp.a libexporting.a libavivideo.a libmatch.a"
    [core]="libeditor.a libcontrols.a libapp.a libexporting.a libavivideo.a libmatch.a"
    [editor]="libcontrols.a libapp.a libexporting.a libavivideo.a libmatch.a libopencv_"
    [controls]="libapp.a libexporting.a libavivideo.a libmatch.a libopencv_"
    [match]="libeditor.a libcontrols.a libapp.a libexporting.a libavivideo.a"
    [vision]="libmatch.a libopencv_ libeditor.a libcontrols.a libapp.a libexporting.a libavivideo.a"
    [export]="libeditor.a libcontrols.a libapp.a libavivideo.a libmatch.a"
    [video]="libeditor.a libcontrols.a libapp.a libexporting.a libmatch.a"
    [tools]="libapp.a libcontrols.a libeditor.a libmatch.a libopencv_"
    [app]="libmatch.a libopencv_"
)
# Tests that compare the command line with the window, and so link it.
window_tests=" tools_example_test tools_vellora_render_test "

link_line() {
    ninja -C "$build" -t commands "$1" | tail -n 1
}

failures=0
checked=0
check() {
    local target=$1 libs=$2 line lib
    line=$(link_line "$target")
    for lib in $libs; do
        if [[ "$lib" == *_ && " $line " == *"/$lib"* ]] || [[ " $line " == *"/$lib "* ]]; then
            echo "$target links $lib"
            failures=$((failures + 1))
        fi
    done
    checked=$((checked + 1))
}

mapfile -t targets < <(ninja -C "$build" -t targets all | sed -n 's#^tests/\([a-z]*_[a-z0-9_]*_test\): CXX_EXECUTABLE_LINKER.*#\1#p')
for target in "${targets[@]}"; do
    prefix=${target%%_*}
    [[ -n ${forbidden[$prefix]+set} ]] || continue
    [[ "$window_tests" == *" $target "* ]] && continue
    check "tests/$target" "${forbidden[$prefix]}"
done
check tools/vellora-render "libapp.a libcontrols.a libeditor.a libmatch.a libopencv_"
check src/app/vellora "libmatch.a libopencv_"

if ((checked < 10)); then
    echo "check-layers: only $checked targets found in $build"
    exit 1
fi
if ((failures > 0)); then
    echo "check-layers: $failures wrong links"
    exit 1
fi
echo "check-layers: $checked programs link only their layer"
