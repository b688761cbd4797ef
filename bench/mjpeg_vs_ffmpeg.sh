#!/usr/bin/env bash
# The Motion JPEG re-coder (src/video/jpegframe.cpp, through mjpeg_frames)
# against FFmpeg's own encoder (ffmpeg -c:v mjpeg -q:v 2 -pix_fmt yuvj444p, the
# settings the re-coder's tables copy) on the same rendered frames, at
# 1920 x 1080 and 7680 x 4320: processor milliseconds per frame on one thread
# (processor time, so that other work on the machine does not count), bytes and
# PSNR, the bytes FFmpeg needs for the re-coder's PSNR (between the two -q:v
# of 1 to 4 around it, interpolated), and the peak memory of each whole process.
#
#   mjpeg_vs_ffmpeg.sh BUILD_DIR [FRAMES_1080P [FRAMES_8K]]
set -euo pipefail
build=${1:-build-bench}
frames_hd=${2:-20}
frames_8k=${3:-4}
render="$build/tools/vellora-render"
command -v ffmpeg >/dev/null || { echo "mjpeg_vs_ffmpeg: ffmpeg is not installed" >&2; exit 77; }
scene=$(mktemp -d "${TMPDIR:-/tmp}/vellora-mjpeg.XXXXXX")
trap 'rm -rf "$scene"' EXIT

# Peak resident MB and processor seconds of a command.
peak() {
    /usr/bin/time -f "%M %U %S" -o "$scene/time" "$@" >"$scene/out" 2>"$scene/err" ||
        { cat "$scene/err" >&2; return 1; }
    awk '{printf "%.0f %.3f\n", $1 / 1024, $2 + $3}' "$scene/time"
}
psnr() {  # PSNR of a Motion JPEG stream against the raw frames
    ffmpeg -v info -f mjpeg -i "$1" -f rawvideo -pix_fmt bgr24 -s "$size" -i "$scene/frames.bgr" \
        -lavfi "[0:v]format=bgr24[a];[a][1:v]psnr" -f null - 2>&1 |
        sed -n 's/.*PSNR.* average:\([0-9.inf]*\).*/\1/p' | tail -n 1
}

echo "== mjpeg_vs_ffmpeg (one thread each; 8 pairs; processor time per frame, reading excluded)"
printf '%-10s %-22s %9s %10s %8s %8s\n' size coder "ms/frame" "KB/frame" PSNR "peak MB"
for scale in 1 4; do
    frames=$([[ $scale == 1 ]] && echo "$frames_hd" || echo "$frames_8k")
    rm -rf "$scene/s" && mkdir "$scene/s"
    "$build/bench/reference_render" --make-scene "$scene/s" "$scale" >/dev/null
    "$render" "$scene/s/scene.mor" -o "$scene/raw.avi" --uncompressed --quiet --rate 25 \
        --length "$(awk -v p="$frames" 'BEGIN {print p / 25 + 0.01}')"
    size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0:s=x \
        "$scene/raw.avi")
    ffmpeg -v error -y -i "$scene/raw.avi" -f rawvideo -pix_fmt bgr24 "$scene/frames.bgr"
    rm -f "$scene/raw.avi"
    w=${size%x*}
    h=${size#*x}

    read -r mb _ < <(peak "$build/bench/mjpeg_frames" "$scene/frames.bgr" "$w" "$h" "$scene/ours.mjpeg")
    ms=$(cat "$scene/out")
    kb=$(awk -v b="$(stat -c %s "$scene/ours.mjpeg")" -v n="$frames" 'BEGIN {printf "%.0f", b / n / 1024}')
    ours_psnr=$(psnr "$scene/ours.mjpeg")
    printf '%-10s %-22s %9.1f %10s %8s %8s\n' "$size" "re-coder" "$ms" "$kb" "$ours_psnr" "$mb"
    rows=()
    for q in 1 2 3 4; do
        read -r mb secs < <(peak ffmpeg -v error -y -threads 1 -f rawvideo -pix_fmt bgr24 -s "$size" \
            -i "$scene/frames.bgr" -threads 1 -c:v mjpeg -qmin 1 -q:v "$q" -pix_fmt yuvj444p -f mjpeg \
            "$scene/ffmpeg$q.mjpeg")
        # Whole process, reading the raw frames included: less the time to read them.
        read -r _ rsecs < <(peak ffmpeg -v error -y -f rawvideo -pix_fmt bgr24 -s "$size" \
            -i "$scene/frames.bgr" -f null -)
        fms=$(awk -v s="$secs" -v r="$rsecs" -v n="$frames" 'BEGIN {printf "%.1f", (s - r) * 1000 / n}')
        fkb=$(awk -v b="$(stat -c %s "$scene/ffmpeg$q.mjpeg")" -v n="$frames" 'BEGIN {printf "%.0f", b / n / 1024}')
        fpsnr=$(psnr "$scene/ffmpeg$q.mjpeg")
        printf '%-10s %-22s %9s %10s %8s %8s\n' "$size" "ffmpeg -q:v $q" "$fms" "$fkb" "$fpsnr" "$mb"
        rows+=("$fpsnr $fkb")
    done
    # FFmpeg's size at the re-coder's PSNR, linear between its two nearest q.
    printf '%s\n' "${rows[@]}" | sort -n | awk -v p="$ours_psnr" -v k="$kb" '
        {ps[NR] = $1; ks[NR] = $2}
        END {
            for (i = 1; i < NR; i++) if (p >= ps[i] && p <= ps[i + 1]) {
                f = ps[i] + 0 == ps[i + 1] + 0 ? 0 : (p - ps[i]) / (ps[i + 1] - ps[i])
                e = ks[i] + f * (ks[i + 1] - ks[i])
                printf "           at equal PSNR: ffmpeg %.0f KB/frame, re-coder %.2f x its size\n", e, k / e
                exit
            }
            print "           the re-coder'"'"'s PSNR is outside ffmpeg'"'"'s -q:v 1-4"
        }'
done
