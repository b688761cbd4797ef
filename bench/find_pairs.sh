#!/usr/bin/env bash
# "Find pairs" on Debian's sample photographs: fetches them into the build tree
# (scripts/fetch-sample-photos.sh; nothing is committed), then measures its
# speed on two 1920 x 1080 and two 3840 x 2160 pictures and its accuracy on the
# portraits of bench/find_pairs_truth.txt, shifted, scaled and mirrored, and on
# the photographs without a face.
#
#   find_pairs.sh BUILD_DIR
set -euo pipefail
build=${1:-build-bench}
here=$(cd "$(dirname "$0")" && pwd)
photos="$build/photos"
"$here/../scripts/fetch-sample-photos.sh" "$photos"
"$build/bench/find_pairs_bench" speed "$photos/astronaut.png"
no_face=(coffee.png rocket.jpg motorcycle_left.png motorcycle_right.png brick.png grass.png
    gravel.png grand_canyon_3.jpg skagen.jpg skagen_2.jpg snow.jpg sunset.jpg china.jpg flower.jpg
    building.jpg mate-Aqua.jpg mate-Blinds.jpg mate-Dune.jpg mate-FreshFlower.jpg mate-Garden.jpg
    mate-GreenMeadow.jpg mate-LadyBird.jpg mate-RainDrops.jpg mate-Storm.jpg mate-TwoWings.jpg
    mate-Wood.jpg mate-YellowFlower.jpg)
"$build/bench/find_pairs_bench" accuracy "$here/find_pairs_truth.txt" "$photos" \
    "${no_face[@]/#/$photos/}"
# Six cats of one photo, each cut out: the face of the first and of each other paired.
cats=(cats.jpg@300,0,100,130 cats.jpg@0,0,215,130 cats.jpg@215,0,85,130 cats.jpg@300,130,100,130
    cats.jpg@0,130,115,130 cats.jpg@115,130,185,130)
"$build/bench/find_pairs_bench" cats "$photos" "${cats[@]}"
