#!/usr/bin/env bash
# Runs a command on a virtual X server of its own: Xvfb picks a free display
# number itself (-displayfd), so parallel test runs never collide.
#   scripts/with-xvfb.sh COMMAND [ARGS...]
# VELLORA_XVFB_SCREEN sets the screen (default 1280x1024x24).
set -euo pipefail
if ! command -v Xvfb >/dev/null; then
    echo "Xvfb is missing (Debian package xvfb; scripts/install-deps.sh installs it)" >&2
    exit 1
fi
fifo_dir=$(mktemp -d)
trap 'rm -rf "$fifo_dir"' EXIT
mkfifo "$fifo_dir/display"
Xvfb -displayfd 3 -screen 0 "${VELLORA_XVFB_SCREEN:-1280x1024x24}" -nolisten tcp -noreset 3>"$fifo_dir/display" \
    >"$fifo_dir/xvfb.log" 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; rm -rf "$fifo_dir"' EXIT
if ! read -r -t 20 display <"$fifo_dir/display"; then
    echo "Xvfb did not start:" >&2
    cat "$fifo_dir/xvfb.log" >&2
    exit 1
fi
export DISPLAY=":$display"
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
"$@"
