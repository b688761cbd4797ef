#!/bin/sh
# Runs every libFuzzer target of a fuzzing build for a while, seeded with the
# picture fixtures and the regression files of tests/data.
#   scripts/run-fuzzers.sh BUILD_DIR SECONDS_PER_TARGET
# Exits non-zero when a target finds a crash, a hang or a leak; the input that
# caused it is left in BUILD_DIR/fuzz-artifacts.
set -eu
build=${1:?usage: run-fuzzers.sh BUILD_DIR SECONDS}
seconds=${2:?usage: run-fuzzers.sh BUILD_DIR SECONDS}
root=$(cd "$(dirname "$0")/.." && pwd)
data=$root/tests/data
work=$build/fuzz-work
artifacts=$build/fuzz-artifacts
mkdir -p "$artifacts"
rm -rf "$work"

export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export QT_QPA_PLATFORM=offscreen

# seed TARGET FILES...: copies the files into the target's seed folder.
seed() {
    dir=$work/$1-seeds
    shift
    mkdir -p "$dir"
    for f in "$@"; do [ -f "$f" ] && cp "$f" "$dir/"; done
    return 0
}

seed pcx_fuzz "$data"/*.pcx "$data"/regressions/*.pcx
seed tga_fuzz "$data"/*.tga "$data"/regressions/*.tga
seed iff_fuzz "$data"/*.iff "$data"/*.lbm "$data"/regressions/*.iff "$data"/regressions/*.lbm
# The whole-decoder target reads its first byte as the choice of file name
# (index into bmp tga pcx lbm gif png jpg tif), then the file's bytes.
mkdir -p "$work/opendib_fuzz-seeds"
for f in "$data"/*.* "$data"/regressions/*.*; do
    [ -f "$f" ] || continue
    case "$f" in
        *.bmp|*.dib|*.rle) n=0 ;; *.tga) n=1 ;; *.pcx) n=2 ;; *.iff|*.lbm) n=3 ;;
        *.gif) n=4 ;; *.png) n=5 ;; *.jpg|*.jif) n=6 ;; *.tif) n=7 ;; *) continue ;;
    esac
    { printf "\\$(printf '%03o' "$n")"; cat "$f"; } > "$work/opendib_fuzz-seeds/$(basename "$f")"
done

# Other targets take their seeds from tests/fuzz/seeds/<target> when there.
for dir in "$root"/tests/fuzz/seeds/*/; do
    [ -d "$dir" ] && seed "$(basename "$dir")" "$dir"*
done

status=0
targets=$(find "$build" -type f -name '*_fuzz' -perm -u+x | sort)
for want in pcx_fuzz tga_fuzz iff_fuzz bmp_fuzz gif_fuzz tiff_fuzz opendib_fuzz projectfile_fuzz \
    jpegframe_fuzz; do
    if ! echo "$targets" | grep -q "/$want\$"; then
        echo "run-fuzzers: $want is not built in $build" >&2
        status=1
    fi
done
for exe in $targets; do
    target=$(basename "$exe")
    corpus=$work/$target-corpus
    mkdir -p "$corpus" "$work/$target-seeds"
    echo "== $target for $seconds s"
    if ! "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 -max_len=65536 \
            -artifact_prefix="$artifacts/$target-" -print_final_stats=1 \
            "$corpus" "$work/$target-seeds" > "$work/$target.log" 2>&1; then
        echo "run-fuzzers: $target FAILED, see $work/$target.log and $artifacts" >&2
        tail -n 40 "$work/$target.log" >&2
        status=1
    else
        grep -E "^stat::number_of_executed_units|^Done" "$work/$target.log" || true
    fi
done
exit $status
