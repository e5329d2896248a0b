#!/usr/bin/python3
"""Writes the Photoshop fixtures of the reader tests and the PNG each one must decode to."""
import os
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "..", "tools"))

from PIL import Image  # noqa: E402

from picture_writers import bit_row, packbits  # noqa: E402


def psd(mode, depth, width, height, channels, compression=1, mode_data=b"", layers=b""):
    """channels: list of planes, each a list of rows (bytes)."""
    out = b"8BPS" + struct.pack(">H6xHIIHH", 1, len(channels), height, width, depth, mode)
    out += struct.pack(">I", len(mode_data)) + mode_data
    out += struct.pack(">I", 0)
    out += struct.pack(">I", len(layers)) + layers
    out += struct.pack(">H", compression)
    if compression == 1:
        packed = [[packbits(r) for r in ch] for ch in channels]
        out += b"".join(struct.pack(">H", len(r)) for ch in packed for r in ch)
        out += b"".join(r for ch in packed for r in ch)
    else:
        out += b"".join(r for ch in channels for r in ch)
    return out


def save(name, data, pixels, mode="RGB"):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)
    img = Image.new(mode, (len(pixels[0]), len(pixels)))
    img.putdata([p for row in pixels for p in row])
    img.save(os.path.join(HERE, os.path.splitext(name)[0] + ".png"))


W, H = 7, 5


def plane(f, wide=False):
    rows = []
    for y in range(H):
        vals = [f(x, y) for x in range(W)]
        rows.append(b"".join(struct.pack(">H", v) for v in vals) if wide else bytes(vals))
    return rows


def red(x, y): return (x * 36) % 256
def green(x, y): return (y * 60 + 5) % 256
def blue(x, y): return 200 if (x + y) % 2 else 30


def rgb_five_channels():
    junk = lambda x, y: 99
    data = psd(3, 8, W, H, [plane(red), plane(green), plane(blue), plane(lambda x, y: 255 if x != 3 else 128), plane(junk)])
    save("rgb5.psd", data, [[(red(x, y), green(x, y), blue(x, y), 255 if x != 3 else 128) for x in range(W)] for y in range(H)], "RGBA")


def rgb16_packbits_big_layers():
    # 16-bit rows counted in bytes, and a layer section of 20000 bytes passed over by its length.
    data = psd(3, 16, W, H, [plane(lambda x, y: red(x, y) * 257, True), plane(lambda x, y: green(x, y) * 257 + 200, True),
                             plane(lambda x, y: blue(x, y) * 257, True)], 1, layers=bytes(range(256)) * 78 + bytes(32))
    save("rgb16_layers.psd", data, [[(red(x, y), green(x, y), blue(x, y)) for x in range(W)] for y in range(H)])


def cmyk_inverted():
    c = lambda x, y: (x * 40) % 256
    m = lambda x, y: (y * 50) % 256
    ye = lambda x, y: 128
    k = lambda x, y: 0 if x < 5 else 255
    inv = lambda f: (lambda x, y: 255 - f(x, y))
    data = psd(4, 8, W, H, [plane(inv(c)), plane(inv(m)), plane(inv(ye)), plane(inv(k))], 0)

    def conv(v, kk):
        return max(0, min(255, v * kk // 255 - v - kk + 255))
    save("cmyk.psd", data, [[(conv(c(x, y), k(x, y)), conv(m(x, y), k(x, y)), conv(ye(x, y), k(x, y))) for x in range(W)]
                            for y in range(H)])


def bitmap_mode():
    # Ten pixels a row in two bytes; a set bit is black.
    w, h = 10, 3
    bits = [[(x * y + x) % 3 == 0 for x in range(w)] for y in range(h)]
    rows = [bit_row(r) for r in bits]
    out = b"8BPS" + struct.pack(">H6xHIIHH", 1, 1, h, w, 1, 0) + struct.pack(">III", 0, 0, 0) + struct.pack(">H", 1)
    packed = [packbits(r) for r in rows]
    out += b"".join(struct.pack(">H", len(r)) for r in packed) + b"".join(packed)
    save("bitmap.psd", out, [[(0, 0, 0) if v else (255, 255, 255) for v in r] for r in bits])


def gray_alpha():
    g = lambda x, y: (x * 30 + y * 7) % 256
    data = psd(1, 8, W, H, [plane(g), plane(lambda x, y: 0)])
    save("gray_alpha.psd", data, [[(g(x, y),) * 3 for x in range(W)] for y in range(H)])


def gray16():
    g = lambda x, y: (x * 9000 + y * 1234) % 65536
    data = psd(1, 16, W, H, [plane(g, True)], 0)
    save("gray16.psd", data, [[(g(x, y) * 255 // 65535,) * 3 for x in range(W)] for y in range(H)])


def duotone():
    g = lambda x, y: (x * 11 + y * 40) % 256
    data = psd(8, 8, W, H, [plane(g)], 1, mode_data=b"duotone halftone data" * 10)
    save("duotone.psd", data, [[(g(x, y),) * 3 for x in range(W)] for y in range(H)])


def indexed():
    pal = [((i * 3) % 256, (i * 7) % 256, (255 - i)) for i in range(256)]
    mode_data = bytes(p[0] for p in pal) + bytes(p[1] for p in pal) + bytes(p[2] for p in pal)
    idx = lambda x, y: (x * 31 + y * 17) % 256
    data = psd(2, 8, W, H, [plane(idx)], 1, mode_data=mode_data)
    save("indexed.psd", data, [[pal[idx(x, y)] for x in range(W)] for y in range(H)])


def lab():
    # White, black, mid grey, an sRGB red (200, 40, 30) and a green, stored as Photoshop stores
    # L*a*b* (D50) in 8 bits: L scaled to 0..255, a and b offset by 128. The expected colours
    # go back through D50-to-D65 Bradford adaptation and the sRGB curve.
    samples = [((255, 128, 128), (255, 255, 255)), ((0, 128, 128), (0, 0, 0)), ((128, 128, 128), (119, 119, 119)),
               ((114, 189, 176), (199, 40, 29)), ((200, 60, 200), (50, 224, 19))]
    pick = lambda x: samples[x % len(samples)]  # noqa: E731
    data = psd(9, 8, W, H, [plane(lambda x, y, c=c: pick(x)[0][c]) for c in range(3)], 1)
    save("lab.psd", data, [[pick(x)[1] for x in range(W)] for y in range(H)])


def rgba_imagemagick():
    # ImageMagick 6.9.11 writes a transparent document with a negative layer count, as
    # Photoshop does, but keeps the merged colours as they are instead of blending them over
    # white; fully transparent pixels keep their colours too. The reference is its source.
    w, h = 16, 8
    alphas = [0, 40, 128, 200, 255]
    img = Image.new("RGBA", (w, h))
    img.putdata([((x * 16) % 256, (y * 32) % 256, (x * y * 7) % 256, alphas[(x + y) % 5])
                 for y in range(h) for x in range(w)])
    png = os.path.join(HERE, "rgba_imagemagick.png")
    img.save(png)
    subprocess.run(["convert", png, os.path.join(HERE, "rgba_imagemagick.psd")], check=True)


rgb_five_channels()
rgb16_packbits_big_layers()
cmyk_inverted()
bitmap_mode()
gray_alpha()
gray16()
duotone()
indexed()
lab()
rgba_imagemagick()
