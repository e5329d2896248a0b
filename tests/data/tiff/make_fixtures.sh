#!/bin/sh
# Writes the TIFF and EPS fixtures of this folder from tests/data/pillow/hopper.png with
# Debian's ImageMagick and libtiff-tools, libtiff's encoder for the Modified Huffman files
# (write_tiff.c) and write_thunder_eps.py. Every coded file has an uncompressed twin that
# holds the same pixels: the tests decode both and compare.
set -e
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cc write_tiff.c -ltiff -o "$tmp/write_tiff"
convert ../pillow/hopper.png -resize 64x48! "$tmp/rgb.ppm"
q="-define tiff:rows-per-strip=16"

# Colour, 8 bits: the uncompressed reference and every coding of the same pixels.
convert "$tmp/rgb.ppm" $q -compress None rgb8.tif
tiffcp -c packbits rgb8.tif rgb8_packbits.tif
tiffcp -c zip rgb8.tif rgb8_zip.tif
tiffcp -c zip:2 -r 7 rgb8.tif rgb8_zip_predictor.tif
tiffcp -B -c zip:2 rgb8.tif rgb8_zip_predictor_mm.tif
tiffcp -B rgb8.tif rgb8_mm.tif
tiffcp -p separate rgb8.tif rgb8_planar.tif
tiffcp -p separate -c zip:2 rgb8.tif rgb8_planar_zip_predictor.tif
tiffcp -c lzw rgb8.tif rgb8_lzw.tif
tiffcp -c lzw:2 -r 7 rgb8.tif rgb8_lzw_predictor.tif
tiffcp -B -c lzw:2 rgb8.tif rgb8_lzw_predictor_mm.tif
tiffcp -p separate -c lzw:2 rgb8.tif rgb8_planar_lzw_predictor.tif
convert rgb8.tif -compress LZW rgb8_lzw_imagemagick.tif
tiffcp -t -w 16 -l 16 rgb8.tif rgb8_tiled.tif
# Tiles in every coding strips take, the right and bottom tiles cropped: 48 x 32 tiles on
# the 64 x 48 pictures, 64 x 64 on the 301 x 203 page.
tiffcp -t -w 48 -l 32 rgb8.tif rgb8_tiled_edges.tif
tiffcp -t -w 48 -l 32 -c packbits rgb8.tif rgb8_tiled_packbits.tif
tiffcp -t -w 48 -l 32 -c lzw:2 rgb8.tif rgb8_tiled_lzw_predictor.tif
tiffcp -t -w 48 -l 32 -c zip:2 -B rgb8.tif rgb8_tiled_zip_predictor_mm.tif
tiffcp -t -w 48 -l 32 -c lzw -p separate rgb8.tif rgb8_tiled_planar_lzw.tif
tiffcp -t -w 48 -l 32 -c jpeg:90 rgb8.tif rgb8_tiled_jpeg_ycbcr.tif
tiffcp -t -w 48 -l 32 -c zip rgb16.tif rgb16_tiled_zip.tif
tiffcp -t -w 48 -l 32 -c lzw rgba8.tif rgba8_tiled_lzw.tif
tiffcp -t -w 48 -l 32 -c packbits cmyk8.tif cmyk8_tiled_packbits.tif
tiffcp -t -w 48 -l 32 -c lzw palette4.tif palette4_tiled_lzw.tif
tiffcp -t -w 64 -l 64 -c g4 bilevel_dither.tif fax_g4_tiled.tif
tiffcp -t -w 64 -l 64 -c g3:2d bilevel_dither.tif fax_g3_2d_tiled.tif
tiffcp -t -w 64 -l 64 bilevel_dither.tif bilevel_dither_tiled.tif
tiffcp -c jpeg:90 -r 16 rgb8.tif rgb8_jpeg_ycbcr.tif
tiffcp -c jpeg:90:r -r 16 rgb8.tif rgb8_jpeg_rgb.tif
# One strip of 37 x 23, neither side a whole number of 16-pixel MCUs, with no subsampling tag.
convert "$tmp/rgb.ppm" -crop 37x23+13+11 +repage -compress None "$tmp/odd.tif"
tiffcp -c jpeg "$tmp/odd.tif" rgb8_jpeg_ycbcr_odd.tif
# Colour, 16 bits, both byte orders.
convert "$tmp/rgb.ppm" $q -depth 16 -compress None rgb16.tif
tiffcp -c zip:2 rgb16.tif rgb16_zip_predictor.tif
tiffcp -B -c zip:2 rgb16.tif rgb16_zip_predictor_mm.tif
tiffcp -B -c lzw:2 rgb16.tif rgb16_lzw_predictor_mm.tif
# Alpha.
convert "$tmp/rgb.ppm" \( +clone -fx "i/w" \) -alpha off -compose CopyOpacity -composite $q -compress None rgba8.tif
tiffcp -c packbits rgba8.tif rgba8_packbits.tif
tiffcp -c lzw:2 rgba8.tif rgba8_lzw_predictor.tif
convert rgba8.tif -compress LZW -define tiff:predictor=2 rgba8_lzw_predictor_imagemagick.tif
# The same with its colours stored multiplied by alpha ("associated" alpha, as GIMP writes it).
convert rgba8.tif -define tiff:alpha=associated -compress None rgba8_associated.tif
# Grey and bilevel.
convert "$tmp/rgb.ppm" -colorspace Gray $q -depth 8 -compress None gray8.tif
tiffcp -c zip:2 gray8.tif gray8_zip_predictor.tif
tiffcp -c lzw:2 gray8.tif gray8_lzw_predictor.tif
tiffcp -c jpeg gray8.tif gray8_jpeg.tif
convert "$tmp/rgb.ppm" -colorspace Gray $q -depth 16 -compress None gray16.tif
tiffcp -B -c packbits gray16.tif gray16_packbits_mm.tif
tiffcp -c lzw:2 gray16.tif gray16_lzw_predictor.tif
convert "$tmp/rgb.ppm" -colorspace Gray -threshold 50% -type Bilevel "$tmp/bw.pbm"
convert "$tmp/bw.pbm" $q -compress None -define quantum:polarity=min-is-white bilevel_white.tif
convert "$tmp/bw.pbm" $q -compress None -define quantum:polarity=min-is-black bilevel_black.tif
tiffcp -f lsb2msb bilevel_black.tif bilevel_black_lsb.tif
# Fax: Group 3 one- and two-dimensional, with and without fill bits, either bit order;
# Modified Huffman plain and word aligned; Group 4.
tiffcp -c g3:1d bilevel_white.tif fax_g3_1d.tif
tiffcp -c g3:2d bilevel_white.tif fax_g3_2d.tif
tiffcp -c g3:1d:fill bilevel_white.tif fax_g3_1d_fill.tif
tiffcp -c g3:2d:fill -f lsb2msb bilevel_white.tif fax_g3_2d_fill_lsb.tif
tiffcp -c g4 bilevel_white.tif fax_g4.tif
tiffcp -c g4 -f lsb2msb bilevel_white.tif fax_g4_lsb.tif
# A dithered page of an odd width in strips of 64 rows: every two-dimensional mode.
convert ../pillow/hopper.png -resize 301x203! -colorspace Gray -dither FloydSteinberg -monochrome "$tmp/dither.pbm"
convert "$tmp/dither.pbm" -define tiff:rows-per-strip=64 -compress None -define quantum:polarity=min-is-white \
  bilevel_dither.tif
convert bilevel_dither.tif bilevel_dither.png
tiffcp -c g4 bilevel_dither.tif fax_g4_dither.tif
# netpbm's Group 3 writer, end-of-line codes aligned to a byte and to a 16-bit word.
convert bilevel_white.tif "$tmp/bw_white.pbm"
pbmtog3 -nofixedwidth -align8 "$tmp/bw_white.pbm" >"$tmp/align8.g3"
python3 wrap_g3.py "$tmp/align8.g3" fax_g3_1d_netpbm_align8.tif 64 48 4
pbmtog3 -nofixedwidth -align16 "$tmp/bw_white.pbm" >"$tmp/align16.g3"
python3 wrap_g3.py "$tmp/align16.g3" fax_g3_1d_netpbm_align16.tif 64 48 4
"$tmp/write_tiff" "$tmp/bw.pbm" fax_mh.tif 2
"$tmp/write_tiff" "$tmp/bw.pbm" fax_mh_lsb.tif 2 2
"$tmp/write_tiff" "$tmp/bw.pbm" fax_mh_word.tif 32771
# Palette of 256 and of 16 colours.
convert "$tmp/rgb.ppm" -colors 200 -type Palette $q -compress None palette8.tif
tiffcp -c packbits palette8.tif palette8_packbits.tif
tiffcp -c lzw palette8.tif palette8_lzw.tif
convert "$tmp/rgb.ppm" -colors 16 -type Palette -depth 4 $q -compress None palette4.tif
# CMYK, 8 and 16 bits.
convert "$tmp/rgb.ppm" -colorspace CMYK $q -compress None cmyk8.tif
tiffcp -c zip:2 cmyk8.tif cmyk8_zip_predictor.tif
convert "$tmp/rgb.ppm" -colorspace CMYK -depth 16 $q -compress None cmyk16.tif
tiffcp -c lzw:2 cmyk16.tif cmyk16_lzw_predictor.tif
# CIE L*a*b*, 8 and 16 bits.
convert "$tmp/rgb.ppm" -colorspace Lab -depth 8 $q -compress None lab8.tif
convert "$tmp/rgb.ppm" -colorspace Lab -depth 16 $q -compress None lab16.tif
# L*a*b* with an alpha sample (ExtraSamples 2), interleaved and in planes; one marked 1.
convert rgba8.tif -colorspace Lab -depth 8 $q -compress None lab8_alpha.tif
convert rgba8.tif -colorspace Lab -depth 16 $q -compress None lab16_alpha.tif
tiffcp -p separate lab8_alpha.tif lab8_alpha_planar.tif
tiffcp lab8_alpha.tif lab8_alpha_extra1.tif && tiffset -s 338 1 1 lab8_alpha_extra1.tif
# Saturated colours in eight blocks, where the Lab white point (D65 in ImageMagick's
# WhitePoint tag, D50 where Photoshop writes none) moves blue by far more than rounding.
convert -size 8x8 xc:red xc:lime xc:blue xc:cyan xc:magenta xc:yellow xc:white xc:gray50 +append "$tmp/primaries.ppm"
convert "$tmp/primaries.ppm" primaries.png
convert "$tmp/primaries.ppm" -colorspace Lab -depth 8 -compress None lab8_primaries.tif
# ThunderScan and EPS.
python3 write_thunder_eps.py . rgb8.tif
# Floating-point samples of 16 and 32 bits (ImageMagick writes the 8-bit levels over 255,
# and warns of the predictor tag it leaves out) and 24 bits (write_float24.py, from the 32
# bits: ImageMagick's 24-bit floats are integers), with the floating-point predictor
# after LZW and deflate, both byte orders; the view takes them for linear light, as
# ImageMagick's sRGB encoding of the same levels does.
for d in 16 32; do convert rgb8.tif -define quantum:format=floating-point -depth $d -compress None rgb_float$d.tif 2>/dev/null || :; done
tiffcp -c lzw:3 rgb_float32.tif rgb_float32_lzw_predictor.tif
tiffcp -B -c zip:3 -r 7 rgb_float16.tif rgb_float16_zip_predictor_mm.tif
python3 write_float24.py rgb_float32.tif rgb_float24.tif
tiffcp -c zip:3 rgb_float24.tif rgb_float24_zip_predictor.tif
tiffcp -c none rgb_float16_zip_predictor_mm.tif rgb_float16_zip_predictor_mm_libtiff.tif
convert rgba8.tif -define quantum:format=floating-point -depth 32 -compress None rgba_float32.tif 2>/dev/null || :
convert gray8.tif -define quantum:format=floating-point -depth 16 -compress None gray_float16.tif 2>/dev/null || :
tiffcp -t -w 48 -l 32 -c lzw:3 rgba_float32.tif rgba_float32_tiled_lzw_predictor.tif
convert rgb8.png -set colorspace RGB -colorspace sRGB rgb8_linear_shown.png
convert rgba8.png -set colorspace RGB -colorspace sRGB rgba8_linear_shown.png
convert gray8.png -set colorspace RGB -colorspace sRGB gray8_linear_shown.png
# Two pages; ImageMagick's decode of the uncompressed files as a second opinion.
tiffcp rgb8.tif gray8.tif two_pages.tif
for f in rgb8 rgb16 rgba8 rgba8_associated gray8 cmyk8 palette8 palette4 bilevel_white; do convert $f.tif $f.png; done
# libtiff's own decode of the JPEG files, for the tests to compare with.
for f in gray8_jpeg rgb8_jpeg_ycbcr rgb8_jpeg_ycbcr_odd rgb8_jpeg_rgb rgb8_tiled_jpeg_ycbcr; do tiff2rgba -c none $f.tif ${f}_libtiff.tif; done
# YCbCr with 2x2 subsampling, uncompressed: no Debian tool writes it.
python3 write_ycbcr.py "$tmp/rgb.ppm" ycbcr_2x2.tif
python3 write_ycbcr.py --planar "$tmp/rgb.ppm" ycbcr_2x2_planar.tif
# Old-style JPEG, a whole JPEG stream behind JPEGInterchangeFormat, and ImageMagick's decode
# of that stream.
convert rgb8.tif -quality 85 -sampling-factor 2x2 "$tmp/o.jpg"
python3 write_ojpeg.py "$tmp/o.jpg" ojpeg_ycbcr.tif
convert "$tmp/o.jpg" ojpeg_ycbcr_jpeg.png
convert gray8.tif -quality 85 "$tmp/g.jpg"
python3 write_ojpeg.py "$tmp/g.jpg" ojpeg_gray.tif
convert "$tmp/g.jpg" ojpeg_gray_jpeg.png
# 32-bit integer samples, uncompressed and LZW with the horizontal predictor.
convert rgb8.tif -depth 32 -compress None rgb32.tif
convert gray8.tif -depth 32 -compress None "$tmp/g32.tif"
tiffcp -c lzw:2 "$tmp/g32.tif" gray32_lzw_predictor.tif
tiffcp -B -c zip:2 rgb32.tif rgb32_zip_predictor_mm.tif
# libtiff's decode of Pillow's CMYK JPEG file.
tiff2rgba -c none ../pillow/tiff_strip_cmyk_jpeg.tif "$tmp/cmyk.tif"
convert "$tmp/cmyk.tif" -alpha off pillow_tiff_strip_cmyk_jpeg_libtiff.png
# libtiff's decode of Pillow's Group 4 files.
for f in hopper_g4 g4-fillorder-test; do
  tiff2rgba -c none ../pillow/$f.tif "$tmp/$f.tif"
  convert "$tmp/$f.tif" -alpha off pillow_${f}_libtiff.png
done
