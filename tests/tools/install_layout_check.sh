#!/usr/bin/env bash
# Installs a build into a scratch folder and checks the desktop integration:
# both programs, the menu entry (valid, pointing at a program and an icon that
# are installed), every icon at the size its folder names, the user guide with
# the screenshots it shows, and the example project with its pictures.
#
#   install_layout_check.sh BUILD_DIR SCRATCH_DIR
set -euo pipefail

build=${1:?usage: install_layout_check.sh BUILD_DIR SCRATCH_DIR}
stage=${2:?usage: install_layout_check.sh BUILD_DIR SCRATCH_DIR}
rm -rf "$stage"
cmake --install "$build" --prefix "$stage" >/dev/null

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
need() { [[ -f "$stage/$1" ]] || fail "$1 is not installed"; }

need bin/vellora
need bin/vellora-render
[[ -x "$stage/bin/vellora" && -x "$stage/bin/vellora-render" ]] || fail "the programs are not executable"
# The video writer, loaded from bin/../lib/vellora when a video is written.
need lib/vellora/vellora-video.so
# The picture matcher (OpenCV), loaded from there when matching.
need lib/vellora/vellora-vision.so

desktop=share/applications/vellora.desktop
need "$desktop"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$stage/$desktop" || fail "$desktop does not validate"
fi
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$stage/$desktop")
icon_name=$(sed -n 's/^Icon=//p' "$stage/$desktop")
[[ -x "$stage/bin/$exec_name" ]] || fail "the menu entry starts '$exec_name', which is not installed"
grep -qx 'Name=Vellora' "$stage/$desktop" || fail "the menu entry is not named Vellora"
# A file manager hands the entry the files the user opens with it.
grep -q '^Exec=vellora %F$' "$stage/$desktop" || fail "the menu entry takes no files (%F)"
grep -qx 'MimeType=application/x-vellora-project;' "$stage/$desktop" ||
    fail "the menu entry does not name the project type"
mime=share/mime/packages/vellora.xml
need "$mime"
if command -v xmllint >/dev/null; then
    xmllint --noout "$stage/$mime" || fail "$mime is not well-formed"
fi
grep -q 'type="application/x-vellora-project"' "$stage/$mime" || fail "$mime lacks the project type"
grep -q 'pattern="\*.mor"' "$stage/$mime" || fail "$mime does not claim *.mor"
# The type as the desktop sees it once the databases are updated, as the
# package's triggers do: .mor files are projects and open with Vellora.
if command -v update-mime-database >/dev/null && command -v xdg-mime >/dev/null &&
    command -v update-desktop-database >/dev/null; then
    update-mime-database "$stage/share/mime" >/dev/null 2>&1 || fail "update-mime-database failed"
    update-desktop-database "$stage/share/applications" >/dev/null 2>&1 || true
    home=$(mktemp -d)
    default=$(HOME=$home XDG_DATA_HOME=$home/data XDG_DATA_DIRS="$stage/share:/usr/share" \
        xdg-mime query default application/x-vellora-project 2>/dev/null || true)
    rm -rf "$home"
    grep -qxF 'application/x-vellora-project:*.mor' "$stage/share/mime/globs" ||
        fail "the MIME database does not give .mor files the project type"
    [[ "$default" == vellora.desktop ]] || fail "the project type opens with '$default'"
fi

icons=0
while IFS= read -r png; do
    icons=$((icons + 1))
    folder=$(basename "$(dirname "$(dirname "$png")")")  # e.g. 48x48
    size=$(identify -format '%wx%h' "$png")
    [[ "$size" == "$folder" ]] || fail "$png is $size, not $folder"
done < <(find "$stage/share/icons/hicolor" -name "$icon_name.png")
((icons >= 4)) || fail "only $icons PNG icons named $icon_name"
need "share/icons/hicolor/scalable/apps/$icon_name.svg"

# The guide opens from <bindir>/../share/doc/vellora; every picture it shows is there.
doc=share/doc/vellora
need "$doc/index.html"
need "$doc/copyright"
while IFS= read -r src; do
    need "$doc/$src"
done < <(grep -o '\(src\|href\)="[^"#:]*"' "$stage/$doc/index.html" | sed 's/^[a-z]*="\(.*\)"$/\1/')

need "$doc/examples/faces.mor"
need "$doc/examples/face1.png"
need "$doc/examples/face2.png"

# The installed renderer writes a video with the installed module.
if ! "$stage/bin/vellora-render" "$stage/$doc/examples/faces.mor" -o "$stage/check.avi" \
        --length 1 --rate 2; then
    fail "the installed vellora-render cannot write a video"
fi

if ((failures > 0)); then exit 1; fi
echo "install layout ok: $icons icon sizes, guide and example in $doc"
