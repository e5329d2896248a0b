#!/usr/bin/python3
"""Writes the RLA fixtures of the reader tests, each with the PNG it should decode to."""

import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "tools"))

import picture_writers as w  # noqa: E402
from picture_writers import fixture_path, plane, save_png  # noqa: E402

path = fixture_path(__file__)


def main():
    # Window bottom 0, top 99: 100 rows stored bottom first.
    W, H = 7, 100
    r = plane(W, H, lambda x, y: (y * 2) % 256)
    g = plane(W, H, lambda x, y: 30 * x)
    b = plane(W, H, lambda x, y: 255 - y)
    w.write_rla(path("window_0_99.rla"), W, H, [r, g, b])
    save_png(path("window_0_99.png"), W, H, lambda x, y: (r[y][x], g[y][x], b[y][x], 255))

    # Top row first (bottom greater than top).
    W, H = 6, 4
    r = plane(W, H, lambda x, y: 60 * y)
    g = plane(W, H, lambda x, y: 40 * x)
    b = plane(W, H, lambda x, y: 9)
    w.write_rla(path("top_down.rla"), W, H, [r, g, b], bottom_up=False)
    save_png(path("top_down.png"), W, H, lambda x, y: (r[y][x], g[y][x], b[y][x], 255))

    # With a matte channel.
    W, H = 6, 5
    r = plane(W, H, lambda x, y: 250)
    g = plane(W, H, lambda x, y: 50 * y)
    b = plane(W, H, lambda x, y: 40 * x)
    a = plane(W, H, lambda x, y: 255 if x == 0 else 25 * (x + y))
    w.write_rla(path("matte.rla"), W, H, [r, g, b, a])
    save_png(path("matte.png"), W, H, lambda x, y: (r[y][x], g[y][x], b[y][x], a[y][x]))

    # 16 bits per channel, big-endian samples.
    W, H = 5, 3
    r = plane(W, H, lambda x, y: 16000 * x + y)
    g = plane(W, H, lambda x, y: 65535 - 20000 * y)
    b = plane(W, H, lambda x, y: 4660 * (x + y))
    w.write_rla(path("rgb16.rla"), W, H, [r, g, b], bits=16)
    s = lambda v: v * 255 // 65535  # noqa: E731
    save_png(path("rgb16.png"), W, H, lambda x, y: (s(r[y][x]), s(g[y][x]), s(b[y][x]), 255))
    a = plane(W, H, lambda x, y: 0xFF00 - 0x3F01 * x if y != 1 else 0x00FF)
    w.write_rla(path("rgba16.rla"), W, H, [r, g, b, a], bits=16)
    save_png(path("rgba16.png"), W, H, lambda x, y: (s(r[y][x]), s(g[y][x]), s(b[y][x]), s(a[y][x])))

    # Gamma: the same ramp with the text "2.2" and with no text.
    W, H = 256, 1
    ramp = plane(W, H, lambda x, y: x)
    w.write_rla(path("gamma_2_2.rla"), W, H, [ramp, ramp, ramp], gamma=b"2.2")
    w.write_rla(path("gamma_none.rla"), W, H, [ramp, ramp, ramp], gamma=b"")

    # Channel space "xyz": not read.
    w.write_rla(path("xyz.rla"), 4, 2, [plane(4, 2, lambda x, y: 1)] * 3, space=b"xyz")

    # A scanline offset past the end of the file: refused as a file cut short.
    W, H = 5, 4
    r = plane(W, H, lambda x, y: 100 + x)
    file = path("offset_past_end.rla")
    w.write_rla(file, W, H, [r, r, r])
    data = bytearray(open(file, "rb").read())
    struct.pack_into(">I", data, 740 + 4 * 2, len(data) + 77)  # file scanline 2 = row 1 from the top
    open(file, "wb").write(bytes(data))


if __name__ == "__main__":
    main()
