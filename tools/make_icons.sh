#!/bin/sh
# Renders the program icon data/icons/vumo.svg into the PNG sizes the hicolor theme
# installs (data/icons/vumo-SIZE.png). Needs rsvg-convert (Debian: librsvg2-bin).
# Run from anywhere: tools/make_icons.sh
set -e
icons="$(dirname "$0")/../data/icons"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" "$icons/vumo.svg" -o "$icons/vumo-$size.png"
done
