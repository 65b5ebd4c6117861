#!/bin/sh
# Re-renders the committed PNGs from their SVG sources (rsvg-convert: Debian package librsvg2-bin),
# each at its own size and, for screens scaled to 200 %, as name@2x.png at twice that size.
# The build only uses the PNGs; run this after changing an SVG and commit both.
set -eu
cd "$(dirname "$0")"

for name in close drop-down check uncheck warning norv_login_cn norv_login_en; do
    rsvg-convert -o "$name.png" "$name.svg"
    rsvg-convert -z 2 -o "$name@2x.png" "$name.svg"
done

# The logo and the tray icon are the same mark at two sizes.
for size in 64 32; do
    rsvg-convert -w "$size" -h "$size" -o "norv$size.png" norv.svg
    rsvg-convert -w $((size * 2)) -h $((size * 2)) -o "norv$size@2x.png" norv.svg
done
