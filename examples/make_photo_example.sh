#!/usr/bin/env bash
# Makes the photo example: the two views of Debian's public-domain stereo pair of a motorcycle,
# morphed into each other (the scene seems to turn in depth), with area pairs drawn only in the
# left view and then placed in the right one by "Match object" (vellora-render --match all).
#
#   examples/make_photo_example.sh VELLORA_RENDER FOLDER
#
# Writes FOLDER/motorcycle_left.png, FOLDER/motorcycle_right.png, FOLDER/photos-rough.mor (the
# rough pairs) and FOLDER/photos.mor (matched). The photos come from the Debian package python3-skimage (see
# scripts/fetch-sample-photos.sh); nothing of them is kept in the repository. Fails with a
# message when they cannot be fetched.
set -euo pipefail

render=${1:?usage: examples/make_photo_example.sh VELLORA_RENDER FOLDER}
folder=${2:?usage: examples/make_photo_example.sh VELLORA_RENDER FOLDER}
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/fetch-sample-photos.sh" "$folder" motorcycle_left.png motorcycle_right.png

# A project file: the magic, two short strings, the count and 32-byte records of eight
# little-endian 32-bit integers.
le32() {
    local v=$(($1 & 0xFFFFFFFF))
    printf "\\x$(printf %02x $((v & 255)))\\x$(printf %02x $(((v >> 8) & 255)))"
    printf "\\x$(printf %02x $(((v >> 16) & 255)))\\x$(printf %02x $(((v >> 24) & 255)))"
}
shortstr() {
    printf "\\x$(printf %02x ${#1})%s" "$1"
}
# Rough pairs, both pictures 741 x 500: the whole picture, then the tank's lettering, the front
# wheel, the rear wheel, the engine, the seat and a box on the shelf. Each picture-2 half starts
# where the Area tool puts it, at the same place as in picture 1; the nearer a thing is, the
# farther it lies to the left in the right view (about 50 pixels for the motorcycle, 20 for the
# shelf).
pairs=(
    "0 0 740 499 0 0 740 499"
    "385 165 480 225 385 165 480 225"
    "505 285 690 455 505 285 690 455"
    "118 232 282 405 118 232 282 405"
    "335 235 478 368 335 235 478 368"
    "150 158 358 252 150 158 358 252"
    "525 30 608 102 525 30 608 102"
)
{
    printf 'TALVORN Morphing 1.0'
    shortstr motorcycle_left.png
    shortstr motorcycle_right.png
    le32 ${#pairs[@]}
    for p in "${pairs[@]}"; do
        for v in $p; do le32 "$v"; done
    done
} >"$folder/photos-rough.mor"

"$render" "$folder/photos-rough.mor" --match all -o "$folder/photos.mor"
echo "Photo example: $folder/photos.mor (rough pairs in $folder/photos-rough.mor)"
