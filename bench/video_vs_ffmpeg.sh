#!/usr/bin/env bash
# Every video kind, side by side in one run: vellora-render rendering and
# encoding the sequence against the ffmpeg command line encoding the same
# raw frames (already rendered, read from a file) with the same settings.
# Pictures per second (our time includes rendering), file sizes and the peak
# memory of each side.
#
#   video_vs_ffmpeg.sh BUILD_DIR [PICTURES [SCALE [KIND...]]]
#
# The scene is 1920 x 1080 with 8 area pairs, every side times SCALE (1 by
# default; 4 gives 7680 x 4320, for the memory a large export takes). KINDS
# are some of mjpeg h264 vp9 gif (all by default).
set -euo pipefail
build=${1:-build-bench}
pictures=${2:-50}
scale=${3:-1}
shift $(($# < 3 ? $# : 3))
kinds=("$@")
[[ ${#kinds[@]} -gt 0 ]] || kinds=(mjpeg h264 vp9 gif)
render="$build/tools/vellora-render"
reference="$build/bench/reference_render"
command -v ffmpeg >/dev/null || { echo "video_vs_ffmpeg: ffmpeg is not installed" >&2; exit 77; }
scene=$(mktemp -d "${TMPDIR:-/tmp}/vellora-video.XXXXXX")
trap 'rm -rf "$scene"' EXIT
"$reference" --make-scene "$scene" "$scale"
# A little over PICTURES / 25 seconds, so that N = PICTURES at 25 per second.
seq=(--length "$(awk -v p="$pictures" 'BEGIN {print p / 25 + 0.01}')" --rate 25)

# The raw frames ffmpeg reads: the exact rendered pictures.
"$render" "$scene/scene.mor" -o "$scene/raw.avi" --uncompressed --quiet "${seq[@]}"
size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0:s=x \
    "$scene/raw.avi")
ffmpeg -v error -i "$scene/raw.avi" -f rawvideo -pix_fmt bgr24 "$scene/frames.bgr"
input=(-f rawvideo -pix_fmt bgr24 -s "$size" -r 25 -i "$scene/frames.bgr")

# Wall seconds and peak resident kilobytes of a command: the fastest of three
# runs, for both sides alike, so that a run slowed by the rest of the machine
# does not decide.
measure() {
    : >"$scene/times"
    for _ in 1 2 3; do
        /usr/bin/time -f "%e %M" -o "$scene/time" "$@" >/dev/null 2>&1
        cat "$scene/time" >>"$scene/times"
    done
    sort -n "$scene/times" | head -n 1
}

echo "== video_vs_ffmpeg ($size, $pictures pictures, 8 pairs, $(nproc) cores)"
printf '%-8s %12s %12s %9s %12s %12s %8s %10s %10s\n' kind "ours pic/s" "ffmpeg pic/s" \
    "speed" "ours bytes" "ffmpeg bytes" "size" "ours MB" "ffmpeg MB"
run() {
    local kind=$1 file=$2
    shift 2
    read -r ours_s ours_kb < <(measure "$render" "$scene/scene.mor" -o "$scene/ours.$file" \
        --quiet "${seq[@]}")
    read -r their_s their_kb < <(measure ffmpeg -y -v error "${input[@]}" "$@" \
        "$scene/theirs.$file")
    local ours_b their_b
    ours_b=$(stat -c %s "$scene/ours.$file")
    their_b=$(stat -c %s "$scene/theirs.$file")
    awk -v k="$kind" -v n="$pictures" -v os="$ours_s" -v ts="$their_s" -v ob="$ours_b" \
        -v tb="$their_b" -v om="$ours_kb" -v tm="$their_kb" 'BEGIN {
        printf "%-8s %12.1f %12.1f %8.2fx %12d %12d %7.3fx %10.0f %10.0f\n", k, n / os, n / ts,
            ts / os, ob, tb, ob / tb, om / 1024, tm / 1024 }'
}
for kind in "${kinds[@]}"; do
    case $kind in
        mjpeg) run mjpeg avi -c:v mjpeg -q:v 2 -pix_fmt yuvj444p ;;
        h264) run h264 mp4 -c:v libx264 -preset medium -crf 18 -pix_fmt yuv420p ;;
        vp9)
            run vp9 webm -c:v libvpx-vp9 -crf 12 -b:v 0 -deadline good -cpu-used 4 -row-mt 1 \
                -pix_fmt yuv420p
            ;;
        gif)
            run gif gif -vf \
                "split[a][b];[a]palettegen=stats_mode=full[p];[b][p]paletteuse=dither=floyd_steinberg"
            ;;
        *) echo "video_vs_ffmpeg: unknown kind $kind" >&2 ;;
    esac
done
# One result picture, for reading the peaks above as a number of pictures.
awk -v s="$size" 'BEGIN { split(s, d, "x"); printf "one result picture: %.0f MB\n", d[1] * d[2] * 3 / 1048576 }'
