#!/bin/sh
# Writes the ASTC fixtures: ImageMagick 6.9.11 draws the source pictures, Debian 12's astcenc
# 4.2.0 (package astcenc) encodes them and decodes each file again as its reference PNG.
# Run from this folder; the sources themselves are not kept.
set -e
src=$(mktemp -d)
trap 'rm -rf "$src"' EXIT
# Colour plasma with a diagonal alpha ramp, a few flat patches (constant blocks) and noise.
convert -seed 7 -size 48x48 plasma:red-blue \
  \( -size 48x48 gradient:white-black -rotate 45 -gravity center -crop 48x48+0+0 +repage \) \
  -alpha off -compose CopyOpacity -composite \
  -fill '#3080c0' -draw 'rectangle 0,0 15,15' -fill '#ffffff' -draw 'rectangle 32,32 47,47' \
  PNG32:"$src/plasma.png"
convert -seed 3 -size 48x48 xc:gray50 -attenuate 2 +noise Random \
  \( -size 48x48 gradient:black-white \) -alpha off -compose CopyOpacity -composite PNG32:"$src/noise.png"
convert -seed 5 -size 48x48 plasma:fractal -colorspace Gray PNG24:"$src/grey.png"
convert -seed 9 -size 37x23 plasma:green-yellow -attenuate 0.6 +noise Gaussian PNG24:"$src/odd.png"
convert -seed 11 -size 64x64 plasma:fractal -attenuate 0.4 +noise Uniform \
  \( -size 64x64 radial-gradient:white-black \) -alpha off -compose CopyOpacity -composite PNG32:"$src/big.png"

encode() {  # picture footprint name profile(l or s) effort
  astcenc -c"$4" "$src/$1.png" "$3.astc" "$2" "-$5" -silent
  astcenc -d"$4" "$3.astc" "$3.png" -silent
}
encode plasma 4x4 plasma_4x4 l thorough
encode plasma 5x4 plasma_5x4 l thorough
encode plasma 6x6 plasma_6x6_srgb s thorough
encode noise 4x4 noise_4x4 l exhaustive
encode noise 6x5 noise_6x5 l exhaustive
encode noise 8x8 noise_8x8_srgb s exhaustive
encode grey 5x5 grey_5x5 l thorough
encode odd 8x6 odd_8x6 l thorough
encode odd 10x5 odd_10x5 l thorough
encode big 10x10 big_10x10 l exhaustive
encode big 12x12 big_12x12 l exhaustive
encode big 12x10 big_12x10_srgb s thorough
encode big 8x5 big_8x5 l medium
encode big 10x6 big_10x6 l medium
encode big 10x8 big_10x8_srgb s medium
