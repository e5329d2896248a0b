#!/usr/bin/env python3
"""Writes an uncompressed YCbCr TIFF with 2x2 chroma subsampling (blocks of four luma samples,
then Cb and Cr) from a binary PPM, the layout libtiff reads but no Debian tool writes; with
--planar, the same samples as three planes, Cb and Cr at half the width and height.
Usage: write_ycbcr.py [--planar] in.ppm out.tif"""
import struct
import sys

args = [a for a in sys.argv[1:] if a != "--planar"]
planar = len(args) < len(sys.argv) - 1
data = open(args[0], "rb").read()
fields, pos = [], 0
while len(fields) < 4:  # P6 width height maxval, comments skipped
    while data[pos:pos + 1].isspace():
        pos += 1
    if data[pos:pos + 1] == b"#":
        pos = data.index(b"\n", pos)
        continue
    end = pos
    while not data[end:end + 1].isspace():
        end += 1
    fields.append(data[pos:end])
    pos = end
width, height = int(fields[1]), int(fields[2])
pixels = data[pos + 1:]


def rgb(x, y):
    x, y = min(x, width - 1), min(y, height - 1)
    i = 3 * (y * width + x)
    return pixels[i], pixels[i + 1], pixels[i + 2]


clamp = lambda v: max(0, min(255, int(round(v))))
out = bytearray()
luma = bytearray(width * height)
chroma = [bytearray(), bytearray()]
for by in range(0, height, 2):
    for bx in range(0, width, 2):
        block = [rgb(bx + dx, by + dy) for dy in (0, 1) for dx in (0, 1)]
        ys = [0.299 * r + 0.587 * g + 0.114 * b for r, g, b in block]
        cb = sum((b - y) / 1.772 for (r, g, b), y in zip(block, ys)) / 4 + 128
        cr = sum((r - y) / 1.402 for (r, g, b), y in zip(block, ys)) / 4 + 128
        out += bytes(clamp(y) for y in ys) + bytes([clamp(cb), clamp(cr)])
        for k, (dx, dy) in enumerate(((0, 0), (1, 0), (0, 1), (1, 1))):
            if bx + dx < width and by + dy < height:
                luma[(by + dy) * width + bx + dx] = clamp(ys[k])
        chroma[0].append(clamp(cb))
        chroma[1].append(clamp(cr))
entries = [(256, 3, 1, width), (257, 3, 1, height), (258, 3, 3, None), (259, 3, 1, 1), (262, 3, 1, 6),
           (273, 4, 1, 8), (277, 3, 1, 3), (278, 3, 1, height), (279, 4, 1, len(out)), (530, 3, 2, None)]
planes = [luma, chroma[0], chroma[1]]
if planar:
    out = luma + chroma[0] + chroma[1]
    entries[5] = (273, 4, 3, None)
    entries[8] = (279, 4, 3, None)
    entries.insert(8, (284, 3, 1, 2))
ifd = 8 + len(out) + (len(out) & 1)
extra = ifd + 2 + 12 * len(entries) + 4
body = bytearray(b"II*\0" + struct.pack("<I", ifd) + out + b"\0" * (len(out) & 1))
body += struct.pack("<H", len(entries))
for tag, typ, count, value in entries:
    if tag == 258:
        body += struct.pack("<HHII", tag, typ, count, extra)
    elif tag in (273, 279) and count == 3:
        body += struct.pack("<HHII", tag, typ, count, extra + 6 + (0 if tag == 273 else 12))
    elif tag == 530:
        body += struct.pack("<HHIHH", tag, typ, count, 2, 2)  # two SHORTs in the value field
    elif typ == 3:
        body += struct.pack("<HHIHH", tag, typ, count, value, 0)
    else:
        body += struct.pack("<HHII", tag, typ, count, value)
body += struct.pack("<I", 0) + struct.pack("<3H", 8, 8, 8)
if planar:
    offsets = [8, 8 + len(luma), 8 + len(luma) + len(chroma[0])]
    body += struct.pack("<3I", *offsets) + struct.pack("<3I", *(len(p) for p in planes))
open(args[1], "wb").write(body)
