#!/usr/bin/python3
"""Writes the any-map fixtures of the reader tests and the PNG each one must decode to."""
import os
import struct
import sys

from PIL import Image

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "tools"))

from picture_writers import bit_row  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))


def save(name, data, pixels):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)
    img = Image.new("RGB", (len(pixels[0]), len(pixels)))
    img.putdata([p for row in pixels for p in row])
    img.save(os.path.join(HERE, os.path.splitext(name)[0] + ".png"))


W, H = 5, 3
rgb = [[((x * 50) % 256, (y * 90 + 10) % 256, (x * y * 40) % 256) for x in range(W)] for y in range(H)]

# Comments after the magic, between the numbers and before the maximum.
save("comments.ppm",
     b"P6 # written by hand\n# a whole comment line\n5 # width\r\n3\n#max next\n255\n" +
     bytes(c for row in rgb for p in row for c in p), rgb)

# Numbers on the magic's own line, as netpbm's tools accept them.
save("one_line.ppm", b"P6 5 3 255\n" + bytes(c for row in rgb for p in row for c in p), rgb)

# Text pixel map with maximum 15: samples scaled to 0..255, a value above the maximum taken as it.
small = [[(x * 3 % 16, y * 5 % 16, 20 if x == 4 else 7) for x in range(W)] for y in range(H)]
scaled = [[tuple(min(v, 15) * 255 // 15 for v in p) for p in row] for row in small]
save("text15.ppm", b"P3\n5 3\n15\n" + "\n".join(" ".join("%d %d %d" % p for p in row) for row in small).encode(), scaled)

# A text bitmap ten pixels wide: two bytes a row, the second with two pixels in its top bits.
# Row 0 has separated digits, row 1 digits run together, row 2 a comment inside the row.
bits = [[(x + y) % 3 == 0 for x in range(10)] for y in range(3)]
text = "P1\n10 3\n"
text += " ".join("1" if b else "0" for b in bits[0]) + "\n"
text += "".join("1" if b else "0" for b in bits[1]) + "\n"
text += "".join("1" if b else "0" for b in bits[2][:4]) + " # a comment\n" + " ".join("1" if b else "0" for b in bits[2][4:])
save("width10.pbm", text.encode(), [[(0, 0, 0) if b else (255, 255, 255) for b in row] for row in bits])

# Raw bitmap of odd width.
rawbits = [[(x * y + x) % 2 == 1 for x in range(11)] for y in range(4)]
body = b"".join(bit_row(row) for row in rawbits)
save("odd.pbm", b"P4\n11 4\n" + body, [[(0, 0, 0) if v else (255, 255, 255) for v in row] for row in rawbits])

# Raw grey map of 16-bit samples with maximum 1000.
g16 = [[(x * 211 + y * 97) % 1001 for x in range(W)] for y in range(H)]
save("gray1000.pgm", b"P5\n5 3\n1000\n" + b"".join(struct.pack(">H", v) for row in g16 for v in row),
     [[(v * 255 // 1000,) * 3 for v in row] for row in g16])

# Text grey map, maximum 255, last number without a line end after it.
g8 = [[(x * 60 + y) % 256 for x in range(W)] for y in range(H)]
save("text.pgm", b"P2\n5 3\n255\n" + " ".join(str(v) for row in g8 for v in row).encode(), [[(v,) * 3 for v in row] for row in g8])

# Arbitrary maps from two writers, ImageMagick and netpbm, of a picture with alpha drawn here.
import subprocess
from PIL import Image
src = Image.new("RGBA", (9, 7))
src.putdata([((x * 29) % 256, (y * 41) % 256, (x * y * 13) % 256, (x * 31 + y * 17) % 256) for y in range(7) for x in range(9)])
src.save("pam_source.png")
subprocess.run(["convert", "pam_source.png", "rgba_magick.pam"], check=True)
subprocess.run(["convert", "pam_source.png", "-depth", "16", "rgba16_magick.pam"], check=True)
subprocess.run(["convert", "pam_source.png", "-colorspace", "Gray", "grey_alpha_magick.pam"], check=True)
subprocess.run(["convert", "grey_alpha_magick.pam", "PNG32:grey_alpha_magick.png"], check=True)
with open("rgb_netpbm.pam", "wb") as out:
    subprocess.run(["pamtopam"], stdin=open("comments.ppm", "rb"), stdout=out, check=True)
with open("bw_netpbm.pam", "wb") as out:
    subprocess.run(["pamtopam"], stdin=open("odd.pbm", "rb"), stdout=out, check=True)
# Float maps from ImageMagick: the picture's samples over 255, grey and colour.
subprocess.run(["convert", "pam_source.png", "-alpha", "off", "rgb_magick.pfm"], check=True)
subprocess.run(["convert", "pam_source.png", "-alpha", "off", "-colorspace", "Gray", "grey_magick.pfm"], check=True)
