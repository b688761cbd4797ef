#!/usr/bin/env bash
# The headless demo: renders the example project to an AVI video with vellora-render and checks
# that the video holds every picture of the sequence.
#
#   scripts/demo.sh VELLORA_RENDER OUTPUT.avi
#
# The sequence is 4 seconds at 25 pictures per second: 100 pictures. Exit 77 when this
# vellora-render cannot write videos yet (the test suite counts that as skipped).
set -euo pipefail

render=${1:?usage: scripts/demo.sh VELLORA_RENDER OUTPUT.avi}
output=${2:?usage: scripts/demo.sh VELLORA_RENDER OUTPUT.avi}
here=$(cd "$(dirname "$0")/.." && pwd)
project="$here/examples/faces.mor"
length=4
rate=25
expected=$((length * rate))

help=$("$render" --help)
if ! grep -qi '\.avi' <<<"$help"; then
    echo "demo: $render cannot write AVI videos" >&2
    exit 77
fi

mkdir -p "$(dirname "$output")"
rm -f "$output"
"$render" "$project" -o "$output" --length "$length" --rate "$rate" --background '#FFFFFF'

frames=$(ffprobe -v error -select_streams v:0 -count_packets \
    -show_entries stream=nb_read_packets -of csv=p=0 "$output")
size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0:s=x "$output")
if [[ "$frames" != "$expected" ]]; then
    echo "demo: $output holds $frames frames, expected $expected" >&2
    exit 1
fi
echo "Rendered $(basename "$project") to $output: $frames frames of $size at $rate per second."
