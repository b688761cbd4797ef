#!/usr/bin/env bash
# Fetches sample photographs that Debian ships under free licences and unpacks them, without
# installing the packages, into a folder of the build tree:
#
#   scripts/fetch-sample-photos.sh FOLDER [PHOTO...]
#
# With PHOTO names (as saved, e.g. astronaut.png) only those are fetched, and only their packages
# downloaded; without, all of them:
#
#   python3-skimage         public-domain samples: astronaut.png, coffee.png, rocket.jpg, the
#                           motorcycle stereo pair and its true disparities (motorcycle_disp.npz),
#                           textures (BSD/public domain)
#   python-matplotlib-data  grace_hopper.jpg (a U.S. Navy portrait, public domain)
#   kphotoalbum             the demo album's portraits and places (GPL-2+)
#   fotoxx-common           two portraits from its user guide's pictures (GPL-3+)
#   python3-sklearn         china.jpg and flower.jpg (CC BY 2.0)
#   r-cran-magick           building.jpg (MIT)
#   r-cran-emayili          cats.jpg, six cats (GPL-3)
#   wordpress-theme-twentytwentyone
#                           two painted portraits of 1885 (public domain)
#   mate-backgrounds        the nature wallpapers (GPL-2+), saved as mate-NAME.jpg
#
# Nothing is fetched when every file already exists. Needs apt-get's access to a Debian mirror;
# without it the script says so and fails.
set -euo pipefail

dest=${1:?usage: scripts/fetch-sample-photos.sh FOLDER [PHOTO...]}
shift
wanted=("$@")

# package  folder-inside-the-package  file  [saved-as]
sources=(
    "python3-skimage */skimage/data astronaut.png"
    "python3-skimage */skimage/data chelsea.png"
    "python3-skimage */skimage/data coffee.png"
    "python3-skimage */skimage/data motorcycle_left.png"
    "python3-skimage */skimage/data motorcycle_right.png"
    "python3-skimage */skimage/data motorcycle_disp.npz"
    "python3-skimage */skimage/data rocket.jpg"
    "python3-skimage */skimage/data brick.png"
    "python3-skimage */skimage/data grass.png"
    "python3-skimage */skimage/data gravel.png"
    "python-matplotlib-data */mpl-data/sample_data grace_hopper.jpg"
    "kphotoalbum */kphotoalbum/demo jesper_2.jpg"
    "kphotoalbum */kphotoalbum/demo new_wave_2.jpg"
    "kphotoalbum */kphotoalbum/demo bar55.jpg"
    "kphotoalbum */kphotoalbum/demo qt-logo.jpg"
    "kphotoalbum */kphotoalbum/demo grand_canyon_1.jpg"
    "kphotoalbum */kphotoalbum/demo wayne.jpg"
    "kphotoalbum */kphotoalbum/demo grand_canyon_3.jpg"
    "kphotoalbum */kphotoalbum/demo skagen.jpg"
    "kphotoalbum */kphotoalbum/demo skagen_2.jpg"
    "kphotoalbum */kphotoalbum/demo snow.jpg"
    "kphotoalbum */kphotoalbum/demo sunset.jpg"
    "fotoxx-common */fotoxx/images painting2.jpg"
    "fotoxx-common */fotoxx/images unwarp-closeup.jpg"
    "python3-sklearn */sklearn/datasets/images china.jpg"
    "python3-sklearn */sklearn/datasets/images flower.jpg"
    "r-cran-magick */magick/images building.jpg"
    "r-cran-emayili */emayili cats.jpg"
    "wordpress-theme-twentytwentyone */twentytwentyone/assets/images self-portrait-1885.jpg"
    "wordpress-theme-twentytwentyone */twentytwentyone/assets/images young-woman-in-mauve.jpg"
)
for n in Aqua Blinds Dune FreshFlower Garden GreenMeadow LadyBird RainDrops Storm TwoWings Wood \
    YellowFlower; do
    sources+=("mate-backgrounds */backgrounds/mate/nature $n.jpg mate-$n.jpg")
done

if ((${#wanted[@]})); then
    chosen=()
    for s in "${sources[@]}"; do
        read -r pkg dir file saved <<<"$s"
        for w in "${wanted[@]}"; do [[ "$w" == "${saved:-$file}" ]] && chosen+=("$s"); done
    done
    if ((${#chosen[@]} != ${#wanted[@]})); then
        echo "fetch-sample-photos: unknown photo among: ${wanted[*]}" >&2
        exit 2
    fi
    sources=("${chosen[@]}")
fi

missing=()
for s in "${sources[@]}"; do
    read -r pkg dir file saved <<<"$s"
    [[ -s "$dest/${saved:-$file}" ]] || missing+=("$pkg")
done
((${#missing[@]})) || exit 0
mapfile -t packages < <(printf '%s\n' "${missing[@]}" | sort -u)

mkdir -p "$dest"
work=$(mktemp -d "$dest/.fetch.XXXXXX")
trap 'rm -rf "$work"' EXIT
# apt's download user cannot write to most build folders; a world-writable one it can.
chmod 0777 "$work"
if ! (cd "$work" && apt-get download -qq "${packages[@]}") >"$work/log" 2>&1; then
    echo "fetch-sample-photos: cannot download the Debian packages ${packages[*]}" >&2
    echo "fetch-sample-photos: it needs network access to a Debian mirror; apt-get said:" >&2
    sed 's/^/    /' "$work/log" >&2
    exit 1
fi
for pkg in "${packages[@]}"; do
    dpkg-deb -x "$work/${pkg}"_*.deb "$work/x"
done
for s in "${sources[@]}"; do
    read -r pkg dir file saved <<<"$s"
    [[ -s "$dest/${saved:-$file}" ]] && continue
    found=$(find "$work/x" -path "$dir/$file" | head -n 1)
    if [[ -z "$found" ]]; then
        echo "fetch-sample-photos: the package $pkg has no $file" >&2
        exit 1
    fi
    cp "$found" "$dest/${saved:-$file}"
done
echo "Sample photos in $dest"
