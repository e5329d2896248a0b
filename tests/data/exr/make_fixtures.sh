#!/bin/sh
# Writes the ImageMagick OpenEXR fixture and ImageMagick's own float decode of it
# (ImageMagick 6.9.11 with OpenEXR 3.1.5 on Debian 12): run from this folder.
set -eu
convert ../pillow/hopper.png -resize 40x30! -depth 8 -alpha set -channel A -evaluate set 75% +channel hopper.png
convert hopper.png hopper_imagemagick.exr
convert hopper_imagemagick.exr -alpha off -endian LSB hopper_imagemagick.pfm
rm hopper.png
# A ripmap of the same picture, tiled 8 x 8 by OpenEXR 3.1.5's exrmaketiled.
exrmaketiled -r -t 8 8 -z zip hopper_imagemagick.exr hopper_ripmap.exr
