#!/usr/bin/env bash
# Runs every benchmark program of a build folder, one after the other.
set -euo pipefail
build=${1:-build-bench}
here=$(dirname "$0")
for b in "$build"/bench/*_bench; do
    [[ -x "$b" ]] || continue
    # Not a Google Benchmark program: find_pairs.sh runs it below.
    [[ $(basename "$b") == find_pairs_bench ]] && continue
    echo "== $(basename "$b")"
    if [[ $(basename "$b") == screen_bench || $(basename "$b") == live_bench ]]; then
        # Painting as the screen gets it: on a virtual X server wide enough
        # for two 1280 x 800 panes side by side.
        VELLORA_XVFB_SCREEN=3000x1200x24 "$here/with-xvfb.sh" "$b" --benchmark_min_time=0.2
    else
        QT_QPA_PLATFORM=offscreen "$b" --benchmark_min_time=0.2
    fi
done
# The whole run of one picture, vellora-render against the literal reference.
"$here/../bench/render_end_to_end.sh" "$build"
# "Match object" on the sample photographs, fetched into the build folder.
if "$here/fetch-sample-photos.sh" "$build/photos"; then
    echo "== match_accuracy"
    QT_QPA_PLATFORM=offscreen "$build/bench/match_accuracy" "$build/photos" 600
    QT_QPA_PLATFORM=offscreen "$here/../bench/find_pairs.sh" "$build"
else
    echo "match_accuracy skipped: the sample photographs cannot be fetched" >&2
fi
# Every video kind against the ffmpeg command line on the same frames, then
# the memory of a 25-picture Motion JPEG export at 7680 x 4320.
"$here/../bench/video_vs_ffmpeg.sh" "$build"
"$here/../bench/video_vs_ffmpeg.sh" "$build" 25 4 mjpeg
# Start-up; the Motion JPEG re-coder and the 4:2:0 conversion against FFmpeg's.
"$here/../bench/startup_time.sh" "$build"
"$here/../bench/mjpeg_vs_ffmpeg.sh" "$build"
"$build/bench/yuv420_frames"
