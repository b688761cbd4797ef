#!/usr/bin/env bash
# Makes the photo examples from public-domain photographs that Debian ships:
#
# - Two portraits morphed into each other (the astronaut of python3-skimage and the U.S. Navy
#   portrait of python-matplotlib-data), their pairs placed by "Find pairs" (vellora-render
#   --find-pairs) in a project that has only the whole-picture pair: FOLDER/portraits-whole.mor,
#   FOLDER/portraits.mor, the halfway pictures of both (portraits-halfway-whole.png,
#   portraits-halfway.png) and the morph as a video, FOLDER/portraits.mp4.
# - The two views of python3-skimage's stereo pair of a motorcycle, morphed into each other (the
#   scene seems to turn in depth), with area pairs drawn only in the left view and then placed
#   in the right one by "Match object" (vellora-render --match all): FOLDER/photos-rough.mor (the
#   rough pairs) and FOLDER/photos.mor (matched).
#
#   examples/make_photo_example.sh VELLORA_RENDER FOLDER
#
# The photos are fetched by scripts/fetch-sample-photos.sh; nothing of them is kept in the
# repository. Fails with a message when they cannot be fetched.
set -euo pipefail

render=${1:?usage: examples/make_photo_example.sh VELLORA_RENDER FOLDER}
folder=${2:?usage: examples/make_photo_example.sh VELLORA_RENDER FOLDER}
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/fetch-sample-photos.sh" "$folder" astronaut.png grace_hopper.jpg \
    motorcycle_left.png motorcycle_right.png

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
# project FILE PICTURE1 PICTURE2 PAIR...: writes a project with these pairs.
project() {
    local file=$1 one=$2 two=$3
    shift 3
    {
        printf 'TALVORN Morphing 1.0'
        shortstr "$one"
        shortstr "$two"
        le32 $#
        for p in "$@"; do
            for v in $p; do le32 "$v"; done
        done
    } >"$file"
}

# The portraits, 512 x 512 and 512 x 600: the whole pictures, then Find pairs.
project "$folder/portraits-whole.mor" astronaut.png grace_hopper.jpg "0 0 511 511 0 0 511 599"
"$render" "$folder/portraits-whole.mor" --find-pairs -o "$folder/portraits.mor"
for p in portraits-whole portraits; do
    "$render" "$folder/$p.mor" --picture 13 --quiet -o "$folder/${p/portraits/portraits-halfway}.png"
done
"$render" "$folder/portraits.mor" --length 4 --rate 25 --timing ease-in-out --hold 12 --quiet \
    -o "$folder/portraits.mp4"
echo "Portraits example: $folder/portraits.mor, $folder/portraits.mp4"

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
project "$folder/photos-rough.mor" motorcycle_left.png motorcycle_right.png "${pairs[@]}"

"$render" "$folder/photos-rough.mor" --match all -o "$folder/photos.mor"
echo "Photo example: $folder/photos.mor (rough pairs in $folder/photos-rough.mor)"
