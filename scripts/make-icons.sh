#!/bin/sh
# Regenerates the hicolor PNG icons under dist/icons/ from the window's XPM pictures (16 and 32
# pixels) and from the scalable drawing (48 pixels). Run it after changing any of them; the
# desktop tests fail while the PNGs are out of date. Needs imagemagick and librsvg2-bin, which
# the build itself does not.
set -eu
cd "$(dirname "$0")/.."
id=org.quillmere.quillmere
# No time stamps in the PNGs, so that regenerating unchanged art changes no bytes.
png_options="-strip -define png:exclude-chunks=date,time"

for size in 16 32; do
    # shellcheck disable=SC2086
    convert "resources/book-$size.xpm" $png_options "png32:dist/icons/${size}x$size/$id.png"
done
rsvg-convert --width 48 --height 48 "dist/icons/scalable/$id.svg" \
    | convert - $png_options "png32:dist/icons/48x48/$id.png"
