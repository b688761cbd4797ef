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
# "Match object" on the sample photographs, fetched into the build folder.
if "$(dirname "$0")/fetch-sample-photos.sh" "$build/photos"; then
    echo "== match_accuracy"
    QT_QPA_PLATFORM=offscreen "$build/bench/match_accuracy" "$build/photos" 600
else
    echo "match_accuracy skipped: the sample photographs cannot be fetched" >&2
fi
