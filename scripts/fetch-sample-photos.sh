#!/usr/bin/env bash
# Fetches the public-domain sample photographs that Debian ships in the package python3-skimage
# and unpacks them, without installing the package, into a folder of the build tree:
#
#   scripts/fetch-sample-photos.sh FOLDER
#
# Afterwards FOLDER/astronaut.png, FOLDER/chelsea.png, ... exist. Nothing is fetched when they
# already do. Needs apt-get's access to a Debian mirror; without it the script says so and fails.
set -euo pipefail

dest=${1:?usage: scripts/fetch-sample-photos.sh FOLDER}
photos=(astronaut.png chelsea.png coffee.png motorcycle_left.png motorcycle_right.png rocket.jpg)

have_all=1
for p in "${photos[@]}"; do [[ -s "$dest/$p" ]] || have_all=0; done
((have_all)) && exit 0

mkdir -p "$dest"
work=$(mktemp -d "$dest/.fetch.XXXXXX")
trap 'rm -rf "$work"' EXIT
# apt's download user cannot write to most build folders; a world-writable one it can.
chmod 0777 "$work"
if ! (cd "$work" && apt-get download -qq python3-skimage) >"$work/log" 2>&1; then
    echo "fetch-sample-photos: cannot download the Debian package python3-skimage" >&2
    echo "fetch-sample-photos: it needs network access to a Debian mirror; apt-get said:" >&2
    sed 's/^/    /' "$work/log" >&2
    exit 1
fi
dpkg-deb -x "$work"/python3-skimage_*.deb "$work/x"
data=$(find "$work/x" -type d -path '*/skimage/data' | head -n 1)
for p in "${photos[@]}"; do
    if [[ ! -s "$data/$p" ]]; then
        echo "fetch-sample-photos: the package has no $p" >&2
        exit 1
    fi
    cp "$data/$p" "$dest/$p"
done
echo "Sample photos in $dest: ${photos[*]}"
