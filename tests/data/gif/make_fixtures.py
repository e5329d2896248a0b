#!/usr/bin/python3
# Remakes the GIF fixtures with Pillow (Debian's python3-pil) and ImageMagick's convert:
# real LZW streams from two writers, each compared with Qt's decode of the same file.
import subprocess
from PIL import Image

def pattern(w, h):
    img = Image.new("RGB", (w, h))
    px = img.load()
    for y in range(h):
        for x in range(w):
            px[x, y] = ((x * 37 + y * 11) % 256, (x * 5 + y * 23) % 256, ((x ^ y) * 9) % 256)
    return img

rgb = pattern(37, 23)
rgb.quantize(256).save("pillow_256.gif", interlace=False)
rgb.quantize(256).save("pillow_interlaced.gif", interlace=True)
rgb.quantize(4).save("pillow_4_colours.gif", interlace=False)
p = rgb.quantize(16)
p.save("pillow_transparent.gif", transparency=3, interlace=False)
rgb.save("pattern.ppm")
subprocess.run(["convert", "pattern.ppm", "-colors", "200", "magick_200.gif"], check=True)
subprocess.run(["convert", "pattern.ppm", "-colors", "64", "-interlace", "GIF", "magick_interlaced.gif"], check=True)
