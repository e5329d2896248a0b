#!/bin/sh
# Writes the ImageMagick Radiance fixtures and ImageMagick's own float decodes of them
# (ImageMagick 6.9.11 on Debian 12): run from this folder.
set -eu
convert ../pillow/hopper.png -resize 40x30! -depth 8 hopper.png
convert hopper.png -evaluate multiply 3 hopper_imagemagick.hdr
convert hopper_imagemagick.hdr -endian LSB hopper_imagemagick.pfm
rm hopper.png
