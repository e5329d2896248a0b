#!/usr/bin/python3
"""Writes the SGI fixtures of the reader tests, each with the PNG it should decode to."""

import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "tools"))

from PIL import Image  # noqa: E402

import picture_writers as w  # noqa: E402
from picture_writers import fixture_path, plane, save_png  # noqa: E402

path = fixture_path(__file__)


def pillow_reference():
    # transparent.sgi comes without a reference picture: Pillow's decode is the second opinion.
    source = path(os.path.join("..", "pillow", "transparent.sgi"))
    if os.path.exists(source):
        Image.open(source).save(path("transparent_pillow.png"), optimize=True)


def main():
    # Grey, verbatim, every row its own value: the bottom file row must land at the bottom.
    W, H = 6, 5
    g = plane(W, H, lambda x, y: 40 * y + 7 * x)
    w.write_sgi(path("grey_bottom_up.bw"), W, H, [g], rle=False, dimension=2)
    save_png(path("grey_bottom_up.png"), W, H, lambda x, y: (g[y][x],) * 3 + (255,))

    # RGBA, run-length, with runs, literals and an alpha ramp.
    W, H = 9, 7
    r = plane(W, H, lambda x, y: 200 if x < 4 else 20 * x)
    gr = plane(W, H, lambda x, y: (y * 37) % 256)
    b = plane(W, H, lambda x, y: (x * y * 11) % 256)
    a = plane(W, H, lambda x, y: 255 if y < 2 else 30 * x)
    w.write_sgi(path("rgba_rle.sgi"), W, H, [r, gr, b, a], rle=True)
    save_png(path("rgba_rle.png"), W, H, lambda x, y: (r[y][x], gr[y][x], b[y][x], a[y][x]))

    # 16-bit RGB, verbatim. Expected: v * 255 div 65535.
    W, H = 5, 4
    r = plane(W, H, lambda x, y: 13107 * x + 100 * y)
    gr = plane(W, H, lambda x, y: 65535 - 9000 * y - x)
    b = plane(W, H, lambda x, y: 257 * (x * 50 + y))
    w.write_sgi(path("rgb16.sgi"), W, H, [r, gr, b], rle=False, wide=True)
    s = lambda v: v * 255 // 65535  # noqa: E731
    save_png(path("rgb16.png"), W, H, lambda x, y: (s(r[y][x]), s(gr[y][x]), s(b[y][x]), 255))

    # 16-bit grey, run-length (lengths count bytes).
    W, H = 140, 3
    g = plane(W, H, lambda x, y: 30000 if x < 70 else 257 * ((x * 3 + y * 50) % 256))
    w.write_sgi(path("grey16_rle.bw"), W, H, [g], rle=True, wide=True, dimension=2)
    save_png(path("grey16_rle.png"), W, H, lambda x, y: (s(g[y][x]),) * 3 + (255,))

    # Grey with an alpha channel: the grey is shown.
    W, H = 4, 3
    g = plane(W, H, lambda x, y: 60 * x + y)
    a = plane(W, H, lambda x, y: 255 - x)
    w.write_sgi(path("grey_alpha.sgi"), W, H, [g, a], rle=False, dimension=3)
    save_png(path("grey_alpha.png"), W, H, lambda x, y: (g[y][x],) * 3 + (255,))

    # Run-length grey whose offset table sends file rows 1 and 3 past the end of the file.
    W, H = 8, 5
    g = plane(W, H, lambda x, y: 100 + 10 * x + y)
    file = path("table_outside.bw")
    w.write_sgi(file, W, H, [g], rle=True, dimension=2)
    data = bytearray(open(file, "rb").read())
    for row in (1, 3):
        struct.pack_into(">I", data, 512 + 4 * row, len(data) + 1000 * row)
    open(file, "wb").write(bytes(data))  # refused as a file cut short: no reference


if __name__ == "__main__":
    pillow_reference()
    main()
