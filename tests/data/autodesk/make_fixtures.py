#!/usr/bin/python3
"""Writes the Autodesk CEL and PIC fixtures of the reader tests, each with the PNG it should decode to."""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "tools"))

import picture_writers as w  # noqa: E402
from picture_writers import fixture_path, plane, save_png  # noqa: E402

path = fixture_path(__file__)


def main():
    W, H = 13, 9
    palette = [((i * 4) % 256, (255 - i) & 0xFC, (i * 12) & 0xFC) for i in range(256)]
    idx = [[(x * 19 + y * 7) % 256 for x in range(W)] for y in range(H)]
    w.write_cel(path("picture.cel"), W, H, palette, idx)
    save_png(path("picture.png"), W, H, lambda x, y: palette[idx[y][x]] + (255,))
    # The same picture under the other extension.
    w.write_cel(path("picture.pic"), W, H, palette, idx)


if __name__ == "__main__":
    main()
