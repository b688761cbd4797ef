#!/usr/bin/env bash
# Takes the user guide's screenshots of the three pages from the real program, with the example
# project loaded, on a virtual X server.
#
#   scripts/screenshots.sh [VELLORA_PROGRAM] [OUTPUT_FOLDER]
#
# Defaults: build/src/app/vellora and docs/. Writes page-open-pictures.png, page-similar-areas.png
# and page-morphing.png. Needs xvfb, xdotool and imagemagick (scripts/install-deps.sh installs
# them); `make screenshots` builds the program and runs this.
#
# The window is driven like a user would: "Open..." on the toolbar, OK in the question, the full
# name of examples/faces.mor typed into the file dialog; then zoom fields, tabs and tools are
# clicked. The window has no command line, so the positions of the controls below are measured
# for a window of 960 x 720 at the top left of the screen; if the layout moves, adjust them here.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath "${1:-$here/build/src/app/vellora}")
outdir=$(realpath -m "${2:-$here/docs}")
project="$here/examples/faces.mor"

readonly WIN_W=960 WIN_H=720
# Toolbar and page tabs (y of the tab row, x of each tab's caption).
readonly OPEN_BTN=(95 13) TAB_Y=41 TAB_X=(65 188 294)
# "Open pictures": the zoom fields of picture 1 and picture 2.
readonly ZOOM1=(410 108) ZOOM2=(410 395)
# "Similar areas": the Pointer tool, the two zoom fields, the top-left corner of the left pane.
readonly POINTER_TOOL=(27 116) ZOOM3=(118 103) ZOOM4=(571 103) LEFT_PANE=(55 118)
# "Morphing": the picture number field.
readonly PIC_ED=(480 120)

for tool in Xvfb xdotool import; do
    command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing (run scripts/install-deps.sh)" >&2; exit 1; }
done
[[ -x "$program" ]] || { echo "screenshots: no program at $program (build it first)" >&2; exit 1; }
[[ -f "$project" ]] || { echo "screenshots: no example project at $project" >&2; exit 1; }
mkdir -p "$outdir"

work=$(mktemp -d)
xvfb_pid="" app_pid=""
cleanup() {
    if [[ -n "$app_pid" ]]; then kill "$app_pid" 2>/dev/null || true; fi
    if [[ -n "$xvfb_pid" ]]; then kill "$xvfb_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

# A display of our own: Xvfb picks a free number and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
[[ -s "$work/display" ]] || { echo "screenshots: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
DISPLAY=":$(cat "$work/display")"
export DISPLAY
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
export LC_ALL=C.UTF-8 QT_QPA_PLATFORM=xcb

# The id of the visible window whose title matches, waiting up to $2 seconds.
wait_window() {
    local pattern=$1 seconds=${2:-10} id
    for _ in $(seq $((seconds * 10))); do
        id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n 1 || true)
        if [[ -n "$id" ]]; then echo "$id"; return 0; fi
        sleep 0.1
    done
    return 1
}

click() { xdotool mousemove "$1" "$2" click 1; sleep 0.3; }

# Types a value into a number field: click it, select its text, type over it.
set_field() {
    xdotool windowfocus "$main"
    click "$1" "$2"
    xdotool key ctrl+a
    xdotool type --delay 20 "$3"
    sleep 0.5
}

shoot() {
    # No hover highlight, and the keyboard focus on the screen itself, so that no text cursor
    # or selected text shows.
    xdotool mousemove $((WIN_W + 100)) $((WIN_H + 100))
    xdotool windowfocus "$root"
    sleep 0.7
    import -window "$main" "$outdir/$1"
    echo "wrote $outdir/$1"
}

root=$(xdotool search --maxdepth 0 --name '' | head -n 1)
"$program" >"$work/vellora.log" 2>&1 &
app_pid=$!
main=$(wait_window '^Vellora 1\.0 - \[' 20) || { echo "screenshots: the window did not appear" >&2; cat "$work/vellora.log" >&2; exit 1; }
xdotool windowmove "$main" 0 0 windowsize "$main" "$WIN_W" "$WIN_H"
sleep 1

# "Open...": its question is captioned "File/Open". Should the button have moved, the toolbar is
# searched from the left; any other command's question or dialog found on the way is cancelled.
click "${OPEN_BTN[@]}"
if ! wait_window '^File/Open$' 3 >/dev/null; then
    for x in $(seq 10 12 400); do
        click "$x" "${OPEN_BTN[1]}"
        wait_window '^File/Open$' 1 >/dev/null && break
        # Another command's question or dialog: the only other named window.
        for id in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
            if [[ "$id" != "$main" ]]; then xdotool key Escape; sleep 0.3; break; fi
        done
    done
fi
wait_window '^File/Open$' 2 >/dev/null || { echo "screenshots: cannot find the Open... button" >&2; exit 1; }
xdotool key Return
wait_window '^Open$' 10 >/dev/null || { echo "screenshots: no file dialog after Open..." >&2; exit 1; }
sleep 0.5
xdotool type --delay 10 "$project"
xdotool key Return
if ! wait_window '^Vellora 1\.0 - \[faces\.mor\]$' 20 >/dev/null; then
    echo "screenshots: the example project did not open" >&2
    import -window root "$work/failed.png" && cp "$work/failed.png" "$outdir/screenshots-failed.png"
    echo "screenshots: the screen is in $outdir/screenshots-failed.png" >&2
    exit 1
fi
sleep 1

# Page 1: both pictures whole, at half size.
click "${TAB_X[0]}" "$TAB_Y"
set_field "${ZOOM1[@]}" 50
set_field "${ZOOM2[@]}" 50
shoot page-open-pictures.png

# Page 2: both pictures at 80 %, the mouth chosen with the Pointer tool so that its grips show.
click "${TAB_X[1]}" "$TAB_Y"
set_field "${ZOOM3[@]}" 80
set_field "${ZOOM4[@]}" 80
click "${POINTER_TOOL[@]}"
# The mouth is the project's last area pair; its picture-1 rectangle is read from the file:
# after the 20-byte magic, the names "face1.png" and "face2.png" and the count, four records on.
read -r left top right bottom < <(od -An -t d4 -j $((20 + 10 + 10 + 4 + 4 * 32)) -N 16 "$project")
mouth_x=$(((left + right) * 80 / 200 + LEFT_PANE[0]))
mouth_y=$(((top + bottom) * 80 / 200 + LEFT_PANE[1]))
click "$mouth_x" "$mouth_y"
shoot page-similar-areas.png

# Page 3: the middle of the sequence, picture 13 of 25.
click "${TAB_X[2]}" "$TAB_Y"
set_field "${PIC_ED[@]}" 13
shoot page-morphing.png
