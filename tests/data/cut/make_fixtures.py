#!/usr/bin/python3
"""Writes the Dr. Halo fixtures of the reader tests, each with the PNG it should decode to."""

import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "tools"))

import picture_writers as w  # noqa: E402
from picture_writers import fixture_path, plane, save_png  # noqa: E402

path = fixture_path(__file__)


def main():
    W, H = 150, 6
    idx = [[(x // 3 + y * 40) % 256 if x < 100 else y * 5 for x in range(W)] for y in range(H)]
    palette = [(i, (i * 3) % 256, 255 - i) for i in range(256)]
    # With its palette file, 256 entries running over four 512-byte blocks.
    w.write_cut(path("halo.cut"), W, H, idx)
    with open(path("halo.pal"), "wb") as f:
        f.write(w.halo_palette(palette))
    save_png(path("halo.png"), W, H, lambda x, y: palette[idx[y][x]] + (255,))

    # Without one: the grey ramp.
    w.write_cut(path("grey.cut"), W, H, idx)
    save_png(path("grey.png"), W, H, lambda x, y: (idx[y][x],) * 3 + (255,))

    # A palette file that declares 256 entries but holds only its first block (78 entries).
    w.write_cut(path("short_pal.cut"), W, H, idx)
    with open(path("short_pal.pal"), "wb") as f:
        f.write(w.halo_palette(palette)[:512])
    save_png(path("short_pal.png"), W, H,
             lambda x, y: (palette[idx[y][x]] if idx[y][x] < 78 else (0, 0, 0)) + (255,))

    # Row 1 codes ten pixels more than the width: they are dropped, row 2 starts where it should.
    W, H = 12, 4
    idx = [[(x + 20 * y) for x in range(W)] for y in range(H)]
    rows = [w.cut_row(row) for row in idx]
    rows[1] = w.cut_row(idx[1] + [250] * 10)
    with open(path("long_row.cut"), "wb") as f:
        f.write(struct.pack("<HHH", W, H, 0) + b"".join(rows))
    save_png(path("long_row.png"), W, H, lambda x, y: (idx[y][x],) * 3 + (255,))


if __name__ == "__main__":
    main()
