#!/usr/bin/env bash
# Makes the photo example: Debian's public-domain astronaut portrait morphing into the cat, with
# area pairs drawn roughly and then placed by "Match object" (vellora-render --match all).
#
#   examples/make_photo_example.sh VELLORA_RENDER FOLDER
#
# Writes FOLDER/astronaut.png, FOLDER/chelsea.png, FOLDER/photos-rough.mor (the rough pairs) and
# FOLDER/photos.mor (matched). The photos come from the Debian package python3-skimage (see
# scripts/fetch-sample-photos.sh); nothing of them is kept in the repository. Fails with a
# message when they cannot be fetched.
set -euo pipefail

render=${1:?usage: examples/make_photo_example.sh VELLORA_RENDER FOLDER}
folder=${2:?usage: examples/make_photo_example.sh VELLORA_RENDER FOLDER}
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/fetch-sample-photos.sh" "$folder"

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
# Rough pairs, picture 1 (512 x 512) then picture 2 (451 x 300): the whole picture, the head,
# the eyes and the mouth; each picture-2 half drawn only roughly where the feature is.
pairs=(
    "0 0 511 511 0 0 450 299"
    "150 40 330 260 140 20 330 270"
    "180 110 300 160 160 90 320 150"
    "200 190 280 230 200 180 280 230"
)
{
    printf 'TALVORN Morphing 1.0'
    shortstr astronaut.png
    shortstr chelsea.png
    le32 ${#pairs[@]}
    for p in "${pairs[@]}"; do
        for v in $p; do le32 "$v"; done
    done
} >"$folder/photos-rough.mor"

"$render" "$folder/photos-rough.mor" --match all -o "$folder/photos.mor"
echo "Photo example: $folder/photos.mor (rough pairs in $folder/photos-rough.mor)"
