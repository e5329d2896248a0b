#!/usr/bin/python3
"""Makes the TIFF sample texture: a seamless 128 x 128 woven pattern in RGB, stored as
deflate-compressed strips with horizontal differencing (predictor 2), the layout most
programs write today. Standard library only.

    tools/make_sample_tiff.py [output file, default data/samples/woven.tif]
"""

import math
import struct
import sys
import zlib

SIZE = 128
ROWS_PER_STRIP = 32


def pixel(x, y):
    # Periods divide the size, so the texture tiles without seams.
    u, v = 2 * math.pi * x / SIZE, 2 * math.pi * y / SIZE
    warp = math.sin(8 * u) * math.cos(2 * v)
    weft = math.sin(8 * v) * math.cos(2 * u)
    over = warp if (x // 16 + y // 16) % 2 else weft
    base = 0.5 + 0.35 * over + 0.1 * math.sin(4 * (u + v))
    return tuple(max(0, min(255, int(255 * base * k))) for k in (0.95, 0.75, 0.5))


def strip(rows):
    out = bytearray()
    for y in rows:
        row = [c for x in range(SIZE) for c in pixel(x, y)]
        diff = row[:3] + [(row[i] - row[i - 3]) & 0xFF for i in range(3, len(row))]
        out += bytes(diff)
    return zlib.compress(bytes(out), 9)


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else "data/samples/woven.tif"
    strips = [strip(range(s, s + ROWS_PER_STRIP)) for s in range(0, SIZE, ROWS_PER_STRIP)]
    data = b"".join(strips)
    n = len(strips)
    offsets, pos = [], 8
    for s in strips:
        offsets.append(pos)
        pos += len(s)
    entries = 11
    ifd = 8 + len(data) + (len(data) & 1)
    extra = ifd + 2 + 12 * entries + 4
    bits_at, offsets_at, counts_at = extra, extra + 6, extra + 6 + 4 * n
    out = bytearray(b"II*\0" + struct.pack("<I", ifd) + data + b"\0" * (len(data) & 1))
    out += struct.pack("<H", entries)
    short = lambda tag, value: struct.pack("<HHIHH", tag, 3, 1, value, 0)
    out += short(256, SIZE) + short(257, SIZE)
    out += struct.pack("<HHII", 258, 3, 3, bits_at)
    out += short(259, 8) + short(262, 2)
    out += struct.pack("<HHII", 273, 4, n, offsets_at)
    out += short(277, 3) + short(278, ROWS_PER_STRIP)
    out += struct.pack("<HHII", 279, 4, n, counts_at)
    out += short(284, 1) + short(317, 2)
    out += struct.pack("<I", 0)
    out += struct.pack("<3H", 8, 8, 8) + struct.pack("<%dI" % n, *offsets) + struct.pack("<%dI" % n, *map(len, strips))
    open(path, "wb").write(out)


main()
