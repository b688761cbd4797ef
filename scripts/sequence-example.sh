#!/usr/bin/env bash
# The sequence example: draws the example faces and a third one with the example's script, and
# renders the sequence face 1 -> face 2 -> face 3 with vellora-render into one MP4 video, easing
# in and out and pausing on each face. Checks the frame count with ffprobe: the shared face 2 is
# written once.
#
#   scripts/sequence-example.sh VELLORA_RENDER OUTPUT_FOLDER
#
# Writes OUTPUT_FOLDER/sequence/ (pictures, projects, faces.morseq) and OUTPUT_FOLDER/sequence.mp4.
set -euo pipefail

render=${1:?usage: scripts/sequence-example.sh VELLORA_RENDER OUTPUT_FOLDER}
out=${2:?usage: scripts/sequence-example.sh VELLORA_RENDER OUTPUT_FOLDER}
here=$(cd "$(dirname "$0")/.." && pwd)
length=3
rate=25
hold=10

if ! /usr/bin/python3 -c 'import PIL' 2>/dev/null; then
    echo "sequence-example: /usr/bin/python3 with python3-pil is needed" >&2
    exit 77
fi
mkdir -p "$out"
/usr/bin/python3 "$here/examples/make_example.py" --sequence "$out/sequence"
video="$out/sequence.mp4"
"$render" "$out/sequence/faces.morseq" -o "$video" --length "$length" --rate "$rate" \
    --timing ease-in-out --hold "$hold" --background '#FFFFFF'

# Two projects of N pictures and 2 x hold held ones each, less the shared face 2.
n=$((length * rate))
expected=$((2 * (n + 2 * hold) - 1))
frames=$(ffprobe -v error -select_streams v:0 -count_packets \
    -show_entries stream=nb_read_packets -of csv=p=0 "$video")
size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0:s=x "$video")
if [[ "$frames" != "$expected" ]]; then
    echo "sequence-example: $video holds $frames frames, expected $expected" >&2
    exit 1
fi
echo "Rendered face 1 -> face 2 -> face 3 to $video: $frames frames of $size at $rate per second."
