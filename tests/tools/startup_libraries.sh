#!/usr/bin/env bash
# The programs start without OpenCV: it is loaded with the vision module only
# when matching. Fails when ldd lists an OpenCV library for either program.
#
#   startup_libraries.sh VELLORA_RENDER VELLORA
set -euo pipefail
status=0
for program in "$@"; do
    libs=$(ldd "$program")
    if grep -i opencv <<<"$libs"; then
        echo "$program loads OpenCV at start-up"
        status=1
    fi
    echo "$(basename "$program"): $(grep -c '=>\|ld-linux' <<<"$libs") shared libraries"
done
exit $status
