#!/usr/bin/env bash
# Builds the Debian package of a build and checks what it installs for the
# desktop: the menu entry that takes files (%F) and names the project type,
# the project type itself, the icon, and a description that names the video
# kinds. Unpacked into a scratch folder, the MIME and desktop databases are
# updated as the package's triggers do, and xdg-mime must name Vellora's
# entry for the project type. 77: no cpack or dpkg-deb here.
#
#   package_contents_check.sh BUILD_DIR SCRATCH_DIR
set -euo pipefail

build=${1:?usage: package_contents_check.sh BUILD_DIR SCRATCH_DIR}
scratch=${2:?usage: package_contents_check.sh BUILD_DIR SCRATCH_DIR}
command -v cpack >/dev/null && command -v dpkg-deb >/dev/null || exit 77
rm -rf "$scratch"
mkdir -p "$scratch/pkg"
(cd "$build" && cpack -G DEB -B "$scratch/pkg" >"$scratch/cpack.log" 2>&1) ||
    { cat "$scratch/cpack.log" >&2; exit 1; }
deb=$(ls "$scratch"/pkg/vellora_*.deb)

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
contents=$(dpkg-deb -c "$deb")
for file in ./usr/bin/vellora ./usr/bin/vellora-render ./usr/share/applications/vellora.desktop \
    ./usr/share/mime/packages/vellora.xml ./usr/share/icons/hicolor/scalable/apps/vellora.svg; do
    grep -q " $file\$" <<<"$contents" || fail "the package does not install $file"
done
description=$(dpkg-deb -f "$deb" Description)
for kind in MP4 WebM GIF "numbered pictures" .mor; do
    grep -q "$kind" <<<"$description" || fail "the description does not mention $kind"
done

root=$scratch/root
dpkg-deb -x "$deb" "$root"
desktop=$root/usr/share/applications/vellora.desktop
grep -qx 'Exec=vellora %F' "$desktop" || fail "the menu entry takes no files (%F)"
grep -qx 'MimeType=application/x-vellora-project;' "$desktop" || fail "the entry names no project type"
if command -v update-mime-database >/dev/null && command -v update-desktop-database >/dev/null &&
    command -v xdg-mime >/dev/null; then
    update-mime-database "$root/usr/share/mime" >/dev/null 2>&1 || fail "update-mime-database failed"
    update-desktop-database "$root/usr/share/applications" >/dev/null 2>&1 ||
        fail "update-desktop-database failed"
    grep -qxF 'application/x-vellora-project:*.mor' "$root/usr/share/mime/globs" ||
        fail "the MIME database does not give .mor files the project type"
    home=$(mktemp -d)
    default=$(HOME=$home XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config \
        XDG_DATA_DIRS="$root/usr/share" xdg-mime query default application/x-vellora-project)
    rm -rf "$home"
    [[ "$default" == vellora.desktop ]] || fail "xdg-mime opens the project type with '$default'"
fi

if ((failures > 0)); then
    echo "package contents: $failures failures" >&2
    exit 1
fi
echo "package contents ok: $(basename "$deb")"
