#!/bin/sh
# Render the program's icon at the sizes a desktop asks for, from its SVG.
# Needs rsvg-convert (Debian package librsvg2-bin). The PNGs are committed,
# so neither the build nor CI runs this.
set -eu
icons="$(dirname "$0")/../assets/icons"
for size in 16 32 48 64 128 256; do
    rsvg-convert --width "$size" --height "$size" \
        "$icons/orvalle.svg" --output "$icons/orvalle-$size.png"
done
