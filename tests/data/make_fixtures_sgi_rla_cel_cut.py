#!/usr/bin/python3
"""Writes the SGI, RLA, Autodesk and Dr. Halo fixtures under tests/data/{sgi,rla,autodesk,cut}
with the PNG each one should decode to. The pixels are made here and written twice: once by
the small writers of tools/make_samples_sgi_rla_cel_cut.py, once by Pillow as the expected PNG.

    tests/data/make_fixtures_sgi_rla_cel_cut.py
"""

import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))

from PIL import Image  # noqa: E402

import make_samples_sgi_rla_cel_cut as w  # noqa: E402


def path(folder, name):
    os.makedirs(os.path.join(HERE, folder), exist_ok=True)
    return os.path.join(HERE, folder, name)


def save_png(file, width, height, rgba):
    """rgba: function (x, y) -> (r, g, b, a)."""
    image = Image.new("RGBA", (width, height))
    image.putdata([rgba(x, y) for y in range(height) for x in range(width)])
    image.save(file)


def plane(width, height, f):
    return [[f(x, y) for x in range(width)] for y in range(height)]


def sgi_fixtures():
    # Grey, verbatim, every row its own value: the bottom file row must land at the bottom.
    W, H = 6, 5
    g = plane(W, H, lambda x, y: 40 * y + 7 * x)
    w.write_sgi(path("sgi", "grey_bottom_up.bw"), W, H, [g], rle=False, dimension=2)
    save_png(path("sgi", "grey_bottom_up.png"), W, H, lambda x, y: (g[y][x],) * 3 + (255,))

    # RGBA, run-length, with runs, literals and an alpha ramp.
    W, H = 9, 7
    r = plane(W, H, lambda x, y: 200 if x < 4 else 20 * x)
    gr = plane(W, H, lambda x, y: (y * 37) % 256)
    b = plane(W, H, lambda x, y: (x * y * 11) % 256)
    a = plane(W, H, lambda x, y: 255 if y < 2 else 30 * x)
    w.write_sgi(path("sgi", "rgba_rle.sgi"), W, H, [r, gr, b, a], rle=True)
    save_png(path("sgi", "rgba_rle.png"), W, H, lambda x, y: (r[y][x], gr[y][x], b[y][x], a[y][x]))

    # 16-bit RGB, verbatim. Expected: v * 255 div 65535.
    W, H = 5, 4
    r = plane(W, H, lambda x, y: 13107 * x + 100 * y)
    gr = plane(W, H, lambda x, y: 65535 - 9000 * y - x)
    b = plane(W, H, lambda x, y: 257 * (x * 50 + y))
    w.write_sgi(path("sgi", "rgb16.sgi"), W, H, [r, gr, b], rle=False, wide=True)
    s = lambda v: v * 255 // 65535  # noqa: E731
    save_png(path("sgi", "rgb16.png"), W, H, lambda x, y: (s(r[y][x]), s(gr[y][x]), s(b[y][x]), 255))

    # 16-bit grey, run-length (lengths count bytes).
    W, H = 140, 3
    g = plane(W, H, lambda x, y: 30000 if x < 70 else 257 * ((x * 3 + y * 50) % 256))
    w.write_sgi(path("sgi", "grey16_rle.bw"), W, H, [g], rle=True, wide=True, dimension=2)
    save_png(path("sgi", "grey16_rle.png"), W, H, lambda x, y: (s(g[y][x]),) * 3 + (255,))

    # Grey with an alpha channel: the grey is shown.
    W, H = 4, 3
    g = plane(W, H, lambda x, y: 60 * x + y)
    a = plane(W, H, lambda x, y: 255 - x)
    w.write_sgi(path("sgi", "grey_alpha.sgi"), W, H, [g, a], rle=False, dimension=3)
    save_png(path("sgi", "grey_alpha.png"), W, H, lambda x, y: (g[y][x],) * 3 + (255,))

    # Run-length grey whose offset table sends file rows 1 and 3 past the end of the file.
    W, H = 8, 5
    g = plane(W, H, lambda x, y: 100 + 10 * x + y)
    file = path("sgi", "table_outside.bw")
    w.write_sgi(file, W, H, [g], rle=True, dimension=2)
    data = bytearray(open(file, "rb").read())
    for row in (1, 3):
        struct.pack_into(">I", data, 512 + 4 * row, len(data) + 1000 * row)
    open(file, "wb").write(bytes(data))
    blank = {H - 1 - 1, H - 1 - 3}  # file rows count from the bottom
    save_png(path("sgi", "table_outside.png"), W, H,
             lambda x, y: ((0,) * 3 if y in blank else (g[y][x],) * 3) + (255,))


def rla_fixtures():
    # Window bottom 0, top 99: 100 rows stored bottom first.
    W, H = 7, 100
    r = plane(W, H, lambda x, y: (y * 2) % 256)
    g = plane(W, H, lambda x, y: 30 * x)
    b = plane(W, H, lambda x, y: 255 - y)
    w.write_rla(path("rla", "window_0_99.rla"), W, H, [r, g, b])
    save_png(path("rla", "window_0_99.png"), W, H, lambda x, y: (r[y][x], g[y][x], b[y][x], 255))

    # Top row first (bottom greater than top).
    W, H = 6, 4
    r = plane(W, H, lambda x, y: 60 * y)
    g = plane(W, H, lambda x, y: 40 * x)
    b = plane(W, H, lambda x, y: 9)
    w.write_rla(path("rla", "top_down.rla"), W, H, [r, g, b], bottom_up=False)
    save_png(path("rla", "top_down.png"), W, H, lambda x, y: (r[y][x], g[y][x], b[y][x], 255))

    # With a matte channel.
    W, H = 6, 5
    r = plane(W, H, lambda x, y: 250)
    g = plane(W, H, lambda x, y: 50 * y)
    b = plane(W, H, lambda x, y: 40 * x)
    a = plane(W, H, lambda x, y: 255 if x == 0 else 25 * (x + y))
    w.write_rla(path("rla", "matte.rla"), W, H, [r, g, b, a])
    save_png(path("rla", "matte.png"), W, H, lambda x, y: (r[y][x], g[y][x], b[y][x], a[y][x]))

    # 16 bits per channel, big-endian samples.
    W, H = 5, 3
    r = plane(W, H, lambda x, y: 16000 * x + y)
    g = plane(W, H, lambda x, y: 65535 - 20000 * y)
    b = plane(W, H, lambda x, y: 4660 * (x + y))
    w.write_rla(path("rla", "rgb16.rla"), W, H, [r, g, b], bits=16)
    s = lambda v: v * 255 // 65535  # noqa: E731
    save_png(path("rla", "rgb16.png"), W, H, lambda x, y: (s(r[y][x]), s(g[y][x]), s(b[y][x]), 255))
    a = plane(W, H, lambda x, y: 0xFF00 - 0x3F01 * x if y != 1 else 0x00FF)
    w.write_rla(path("rla", "rgba16.rla"), W, H, [r, g, b, a], bits=16)
    save_png(path("rla", "rgba16.png"), W, H, lambda x, y: (s(r[y][x]), s(g[y][x]), s(b[y][x]), s(a[y][x])))

    # Gamma: the same ramp with the text "2.2" and with no text.
    W, H = 256, 1
    ramp = plane(W, H, lambda x, y: x)
    w.write_rla(path("rla", "gamma_2_2.rla"), W, H, [ramp, ramp, ramp], gamma=b"2.2")
    w.write_rla(path("rla", "gamma_none.rla"), W, H, [ramp, ramp, ramp], gamma=b"")

    # Channel space "xyz": not read.
    w.write_rla(path("rla", "xyz.rla"), 4, 2, [plane(4, 2, lambda x, y: 1)] * 3, space=b"xyz")

    # A scanline offset past the end of the file: that row stays black.
    W, H = 5, 4
    r = plane(W, H, lambda x, y: 100 + x)
    file = path("rla", "offset_past_end.rla")
    w.write_rla(file, W, H, [r, r, r])
    data = bytearray(open(file, "rb").read())
    struct.pack_into(">I", data, 740 + 4 * 2, len(data) + 77)  # file scanline 2 = row 1 from the top
    open(file, "wb").write(bytes(data))
    save_png(path("rla", "offset_past_end.png"), W, H,
             lambda x, y: ((0,) * 3 if y == 1 else (r[y][x],) * 3) + (255,))


def autodesk_fixtures():
    W, H = 13, 9
    palette = [((i * 4) % 256, (255 - i) & 0xFC, (i * 12) & 0xFC) for i in range(256)]
    idx = [[(x * 19 + y * 7) % 256 for x in range(W)] for y in range(H)]
    w.write_cel(path("autodesk", "picture.cel"), W, H, palette, idx)
    save_png(path("autodesk", "picture.png"), W, H, lambda x, y: palette[idx[y][x]] + (255,))
    # The same picture under the other extension.
    w.write_cel(path("autodesk", "picture.pic"), W, H, palette, idx)


def cut_fixtures():
    W, H = 150, 6
    idx = [[(x // 3 + y * 40) % 256 if x < 100 else y * 5 for x in range(W)] for y in range(H)]
    palette = [(i, (i * 3) % 256, 255 - i) for i in range(256)]
    # With its palette file, 256 entries running over four 512-byte blocks.
    w.write_cut(path("cut", "halo.cut"), W, H, idx)
    with open(path("cut", "halo.pal"), "wb") as f:
        f.write(w.halo_palette(palette))
    save_png(path("cut", "halo.png"), W, H, lambda x, y: palette[idx[y][x]] + (255,))

    # Without one: the grey ramp.
    w.write_cut(path("cut", "grey.cut"), W, H, idx)
    save_png(path("cut", "grey.png"), W, H, lambda x, y: (idx[y][x],) * 3 + (255,))

    # A palette file that declares 256 entries but holds only its first block (78 entries).
    w.write_cut(path("cut", "short_pal.cut"), W, H, idx)
    with open(path("cut", "short_pal.pal"), "wb") as f:
        f.write(w.halo_palette(palette)[:512])
    save_png(path("cut", "short_pal.png"), W, H,
             lambda x, y: (palette[idx[y][x]] if idx[y][x] < 78 else (0, 0, 0)) + (255,))

    # Row 1 codes ten pixels more than the width: they are dropped, row 2 starts where it should.
    W, H = 12, 4
    idx = [[(x + 20 * y) for x in range(W)] for y in range(H)]
    rows = [w.cut_row(row) for row in idx]
    rows[1] = w.cut_row(idx[1] + [250] * 10)
    with open(path("cut", "long_row.cut"), "wb") as f:
        f.write(struct.pack("<HHH", W, H, 0) + b"".join(rows))
    save_png(path("cut", "long_row.png"), W, H, lambda x, y: (idx[y][x],) * 3 + (255,))


def pillow_references():
    # transparent.sgi comes without a reference picture: Pillow's decode is the second opinion.
    source = path("pillow", "transparent.sgi")
    if os.path.exists(source):
        Image.open(source).save(path("sgi", "transparent_pillow.png"), optimize=True)


if __name__ == "__main__":
    pillow_references()
    sgi_fixtures()
    rla_fixtures()
    autodesk_fixtures()
    cut_fixtures()
