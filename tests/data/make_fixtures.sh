#!/bin/sh
# Regenerates the picture fixtures in this folder and checks each one with an
# independent decoder. Needs Debian's netpbm, python3-pil, imagemagick,
# ffmpeg and libtiff-tools.
# The system Python is used on purpose: it is the one that has PIL.
set -eu
cd "$(dirname "$0")"
exec /usr/bin/python3 make_fixtures.py "$@"
