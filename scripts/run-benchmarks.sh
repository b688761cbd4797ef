#!/usr/bin/env bash
# Runs every benchmark program of a build folder, one after the other.
set -euo pipefail
build=${1:-build-bench}
for b in "$build"/bench/*_bench; do
    [[ -x "$b" ]] || continue
    echo "== $(basename "$b")"
    QT_QPA_PLATFORM=offscreen "$b" --benchmark_min_time=0.2
done
# The whole run of one picture, vellora-render against the literal reference.
"$(dirname "$0")/../bench/render_end_to_end.sh" "$build"
# Every video kind against the ffmpeg command line on the same frames.
"$(dirname "$0")/../bench/video_vs_ffmpeg.sh" "$build"
