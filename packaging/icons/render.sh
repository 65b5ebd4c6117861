#!/bin/sh
# Re-renders the committed 128 px icon from the logo (rsvg-convert: Debian package librsvg2-bin).
# The 32 and 64 px icons are the client's own images in src/resources/image/.
set -eu
cd "$(dirname "$0")"
rsvg-convert -w 128 -h 128 -o norv128.png ../../src/resources/image/norv.svg
