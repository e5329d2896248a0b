#!/usr/bin/python3
"""Writes the DDS fixtures of the reader tests.

ImageMagick (6.9.11) writes the DXT1, DXT5 and uncompressed files from a small copy of
pillow/hopper.png; their references are ImageMagick's own decodes. The other files come from
the small writer below, each with a reference PNG computed here from the values it stored
(float pictures through an exposure of 0 and the sRGB curve), but for bc7_random.dds, whose
reference is Pillow's decode.
"""

import os
import random
import struct
import subprocess
import sys

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))


def path(name):
    return os.path.join(HERE, name)


# Header flags and capabilities.
CAPS, HEIGHT, WIDTH, PIXELFORMAT, MIPMAPCOUNT, DEPTH = 0x1, 0x2, 0x4, 0x1000, 0x20000, 0x800000
TEXTURE, COMPLEX, MIPMAP = 0x1000, 0x8, 0x400000
CUBEMAP, ALL_FACES, VOLUME = 0x200, 0xFC00, 0x200000
ALPHAPIXELS, FOURCC, RGB, LUMINANCE = 0x1, 0x4, 0x40, 0x20000


def pixel_format(flags, fourcc=b"\0\0\0\0", bits=0, masks=(0, 0, 0, 0)):
    if isinstance(fourcc, int):
        fourcc = struct.pack("<I", fourcc)
    return struct.pack("<II4sI4I", 32, flags, fourcc, bits, *masks)


def header(width, height, pf, mips=1, depth=0, caps2=0, pitch=0):
    flags = CAPS | HEIGHT | WIDTH | PIXELFORMAT | (MIPMAPCOUNT if mips > 1 else 0) | (DEPTH if depth else 0)
    caps = TEXTURE | (COMPLEX | MIPMAP if mips > 1 else 0) | (COMPLEX if caps2 else 0)
    return (b"DDS " + struct.pack("<7I", 124, flags, height, width, pitch, depth, mips) + b"\0" * 44 + pf +
            struct.pack("<5I", caps, caps2, 0, 0, 0))


def dx10(dxgi, dimension=3, misc=0, array=1):
    return struct.pack("<5I", dxgi, dimension, misc, array, 0)


def write(name, data):
    with open(path(name), "wb") as f:
        f.write(data)


def save_png(name, width, height, pixels):
    Image.frombytes("RGBA", (width, height), bytes(v for p in pixels for v in p)).save(path(name), optimize=True)


def srgb8(linear):
    v = min(max(linear, 0.0), 1.0)
    v = v * 12.92 if v <= 0.0031308 else 1.055 * v ** (1 / 2.4) - 0.055
    return int(round(v * 255))


def shown(rgba):
    r, g, b, a = rgba
    return (srgb8(r), srgb8(g), srgb8(b), int(round(min(max(a, 0.0), 1.0) * 255)))


class Bits:
    """Fields of a 128-bit block, from the lowest bit up."""

    def __init__(self):
        self.value, self.pos = 0, 0

    def put(self, v, n):
        self.value |= (v & ((1 << n) - 1)) << self.pos
        self.pos += n
        return self

    def bytes(self):
        return self.value.to_bytes(16, "little")


def bc7_mode6_solid(rgba):
    # One endpoint pair, both the colour: seven bits each and the shared lowest bit as p-bits.
    assert len({c & 1 for c in rgba}) == 1
    b = Bits().put(1 << 6, 7)
    for c in rgba:
        b.put(c >> 1, 7).put(c >> 1, 7)
    b.put(rgba[0] & 1, 1).put(rgba[0] & 1, 1)
    return b.bytes()


def bc6h_mode11(e0, e1):
    b = Bits().put(3, 5)
    for c in e0:
        b.put(c, 10)
    for c in e1:
        b.put(c, 10)
    for i in range(16):
        b.put(i, 3 if i == 0 else 4)
    return b.bytes()


def bc6h_expected(e0, e1):
    weights = [0, 4, 9, 13, 17, 21, 26, 30, 34, 38, 43, 47, 51, 55, 60, 64]
    unq = lambda x: 0 if x == 0 else 0xFFFF if x == 1023 else ((x << 15) + 0x4000) >> 9
    out = []
    for i in range(16):
        w = weights[i]
        half = [((unq(a) * (64 - w) + unq(b) * w + 32) >> 6) * 31 >> 6 for a, b in zip(e0, e1)]
        out.append(tuple(struct.unpack("<e", struct.pack("<H", h))[0] for h in half) + (1.0,))
    return out


def imagemagick():
    small = "/tmp/vumo_dds_hopper.png"
    subprocess.run(["convert", path("../pillow/hopper.png"), "-resize", "37x23!", small], check=True)
    alpha = "/tmp/vumo_dds_hopper_alpha.png"
    subprocess.run(["convert", small, "-alpha", "set", "-channel", "A", "-fx", "i/w", alpha], check=True)
    # ImageMagick writes mip levels for sides that are powers of two only.
    square = "/tmp/vumo_dds_hopper_32.png"
    subprocess.run(["convert", alpha, "-resize", "32x16!", square], check=True)
    for name, source, compression, mips in [
        ("rgb_dxt1.dds", small, "dxt1", 0), ("rgba_dxt5.dds", alpha, "dxt5", 0),
        ("rgba_dxt5_mips.dds", square, "dxt5", 6), ("rgba_none.dds", alpha, "none", 0), ("rgb_none.dds", small, "none", 0),
    ]:
        subprocess.run(["convert", source, "-define", "dds:compression=" + compression, "-define",
                        "dds:mipmaps=%d" % mips, path(name)], check=True)
        subprocess.run(["convert", path(name) + "[0]", "-define", "png:exclude-chunk=date,time", "PNG32:" + path(name[:-4] + "_imagemagick.png")], check=True)


def main():
    imagemagick()

    # DXT3 (ImageMagick writes DXT5 when asked for it): two blocks of the sixteen 4-bit alphas
    # over a solid colour, c0 = c1 = 565 (20, 40, 10).
    c = 20 << 11 | 40 << 5 | 10
    nibbles = list(range(16))
    alpha_block = bytes(nibbles[i] | nibbles[i + 1] << 4 for i in range(0, 16, 2))
    block = alpha_block + struct.pack("<HHI", c, c, 0)
    reverse = bytes(255 - v for v in alpha_block)  # 15 - n in each nibble
    write("rgba_dxt3.dds", header(8, 4, pixel_format(FOURCC, b"DXT3")) + block + reverse + block[8:])
    colour = ((20 * 255 + 15) // 31, (40 * 255 + 31) // 63, (10 * 255 + 15) // 31)
    save_png("rgba_dxt3.png", 8, 4, [colour + ((y * 4 + x) * 17 if x < 4 else (15 - (y * 4 + x - 4)) * 17,)
                                     for y in range(4) for x in range(8)])

    # BC4 (ATI1) and BC5 (ATI2): every index of an eight-step block, then of a six-step one.
    def channel_block(a0, a1, indices):
        bits = sum(i << (3 * n) for n, i in enumerate(indices))
        return bytes([a0, a1]) + bits.to_bytes(6, "little")

    def channel_values(a0, a1):
        if a0 > a1:
            return [a0, a1] + [((7 - i) * a0 + i * a1) // 7 for i in range(1, 7)]
        return [a0, a1] + [((5 - i) * a0 + i * a1) // 5 for i in range(1, 5)] + [0, 255]

    indices = [n % 8 for n in range(16)]
    pairs = [(230, 20), (40, 200)]
    write("bc4.dds", header(8, 4, pixel_format(FOURCC, b"ATI1")) + b"".join(channel_block(a, b, indices) for a, b in pairs))
    grey = lambda x, y: channel_values(*pairs[x // 4])[indices[y * 4 + x % 4]]
    save_png("bc4.png", 8, 4, [(grey(x, y),) * 3 + (255,) for y in range(4) for x in range(8)])
    reds, greens = (230, 20), (40, 200)
    write("bc5.dds", header(4, 4, pixel_format(FOURCC, b"ATI2")) + channel_block(*reds, indices) +
          channel_block(*greens, indices[::-1]))
    save_png("bc5.png", 4, 4, [(channel_values(*reds)[indices[n]], channel_values(*greens)[indices[15 - n]], 0, 255)
                               for n in range(16)])

    # BC7: 128 random blocks, 16 of each mode, every partition, rotation and index selection
    # they happen to draw; the reference is Pillow 9.4's decode, a second opinion.
    rng = random.Random(7)
    blocks = bytearray()
    for n in range(128):
        block = bytearray(rng.randbytes(16))
        mode = n % 8
        block[0] = (block[0] & ~((2 << mode) - 1) & 0xFF) | 1 << mode
        blocks += block
    write("bc7_random.dds", header(64, 32, pixel_format(FOURCC, b"DX10")) + dx10(98) + bytes(blocks))
    Image.open(path("bc7_random.dds")).convert("RGBA").save(path("bc7_random_pillow.png"), optimize=True)

    # BC7: two solid blocks, and the same as sRGB, which decodes to the same bytes.
    a, b = (201, 101, 51, 255), (20, 40, 60, 128)
    blocks = bc7_mode6_solid(a) + bc7_mode6_solid(b)
    write("bc7.dds", header(8, 4, pixel_format(FOURCC, b"DX10")) + dx10(98) + blocks)
    write("bc7_srgb.dds", header(8, 4, pixel_format(FOURCC, b"DX10")) + dx10(99) + blocks)
    save_png("bc7.png", 8, 4, [a if x < 4 else b for y in range(4) for x in range(8)])

    # BC6H: a mode 11 gradient of the sixteen weights.
    e0, e1 = (200, 300, 100), (400, 150, 380)
    write("bc6h.dds", header(4, 4, pixel_format(FOURCC, b"DX10")) + dx10(95) + bc6h_mode11(e0, e1))
    save_png("bc6h.png", 4, 4, [shown(p) for p in bc6h_expected(e0, e1)])

    # Half floats through the legacy D3DFMT number 113, values past 1 clamped when shown.
    values = [(0.0, 0.25, 0.5, 1.0), (1.0, 2.0, 0.0, 0.5), (0.01, 0.1, 0.9, 1.0),
              (0.5, 0.5, 0.5, 0.0), (0.2, 0.4, 0.6, 0.8), (4.0, 0.002, 0.03, 1.0)]
    data = b"".join(struct.pack("<4e", *v) for v in values)
    write("rgba16f.dds", header(3, 2, pixel_format(FOURCC, 113)) + data)
    save_png("rgba16f.png", 3, 2, [shown(v) for v in values])

    # Packed floats: R11G11B10 (1.0, 0.5, 0.25 and 0, 2, 0.125) and shared-exponent RGB9E5.
    def f11(v, mbits):
        if v == 0:
            return 0
        import math
        e = math.floor(math.log2(v))
        return ((e + 15) << mbits) | int(round((v / 2 ** e - 1) * (1 << mbits)))
    packed = [(1.0, 0.5, 0.25), (0.0, 2.0, 0.125)]
    data = b"".join(struct.pack("<I", f11(r, 6) | f11(g, 6) << 11 | f11(bb, 5) << 22) for r, g, bb in packed)
    write("r11g11b10.dds", header(2, 1, pixel_format(FOURCC, b"DX10")) + dx10(26) + data)
    save_png("r11g11b10.png", 2, 1, [shown(v + (1.0,)) for v in packed])
    # Exponent 16 (2^(16-15-9) = 1/256): mantissas 256, 128, 64 are 1, 0.5, 0.25.
    data = struct.pack("<I", 256 | 128 << 9 | 64 << 18 | 16 << 27) + struct.pack("<I", 0 | 511 << 9 | 32 << 18 | 15 << 27)
    write("rgb9e5.dds", header(2, 1, pixel_format(FOURCC, b"DX10")) + dx10(67) + data)
    save_png("rgb9e5.png", 2, 1, [shown((1.0, 0.5, 0.25, 1.0)), shown((0.0, 511 / 512, 32 / 512, 1.0))])

    # 16-bit colour: B5G6R5 by DXGI number and the same pixels as legacy R5G6B5 masks.
    pix565 = [(31, 0, 0), (0, 63, 0), (0, 0, 31), (16, 32, 8), (31, 63, 31), (1, 2, 3)]
    data = b"".join(struct.pack("<H", r << 11 | g << 5 | bb) for r, g, bb in pix565)
    write("b5g6r5.dds", header(3, 2, pixel_format(FOURCC, b"DX10")) + dx10(85) + data)
    write("r5g6b5_masks.dds", header(3, 2, pixel_format(RGB, bits=16, masks=(0xF800, 0x7E0, 0x1F, 0))) + data)
    scale = lambda v, bits: (v * 255 + ((1 << bits) - 1) // 2) // ((1 << bits) - 1)
    save_png("b5g6r5.png", 3, 2, [(scale(r, 5), scale(g, 6), scale(bb, 5), 255) for r, g, bb in pix565])

    # Grey with alpha (A8L8) and R8G8B8A8 by DXGI number.
    la = [(0, 255), (64, 128), (255, 0), (200, 50)]
    write("a8l8.dds", header(2, 2, pixel_format(LUMINANCE | ALPHAPIXELS, bits=16, masks=(0xFF, 0, 0, 0xFF00))) +
          bytes(v for l, al in la for v in (l, al)))
    save_png("a8l8.png", 2, 2, [(l, l, l, al) for l, al in la])
    rgba = [(10, 20, 30, 255), (200, 100, 0, 128), (0, 0, 0, 0), (255, 255, 255, 255)]
    write("r8g8b8a8.dds", header(2, 2, pixel_format(FOURCC, b"DX10")) + dx10(28) + bytes(v for p in rgba for v in p))
    save_png("r8g8b8a8.png", 2, 2, rgba)

    # A cube map of six solid faces with two levels each, as A8R8G8B8 (B, G, R, A in the file).
    faces = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0), (0, 255, 255), (255, 0, 255)]
    data = b""
    for r, g, bb in faces:
        for side in (4, 2):
            data += bytes((bb, g, r, 255)) * side * side
            r, g, bb = r // 2, g // 2, bb // 2  # the second level is darker, to tell it apart
    write("cube.dds", header(4, 4, pixel_format(RGB | ALPHAPIXELS, bits=32, masks=(0xFF0000, 0xFF00, 0xFF, 0xFF000000)),
                             mips=2, caps2=CUBEMAP | ALL_FACES) + data)
    save_png("cube.png", 4, 4, [faces[0] + (255,)] * 16)

    # An array of three BC1 layers of 8 x 8, each one solid colour (c0 = c1, indices 0).
    colours = [0xF800, 0x07E0, 0x001F]
    layer = lambda c: struct.pack("<HHI", c, c, 0) * 4
    write("array_bc1.dds", header(8, 8, pixel_format(FOURCC, b"DX10")) + dx10(71, array=3) +
          b"".join(layer(c) for c in colours))
    save_png("array_bc1.png", 8, 8, [(255, 0, 0, 255)] * 64)
    # Array size 0, as some writers put for a plain texture: one layer.
    write("array_size_0.dds", header(8, 8, pixel_format(FOURCC, b"DX10")) + dx10(71, array=0) + layer(0x07E0))
    save_png("array_size_0.png", 8, 8, [(0, 255, 0, 255)] * 64)

    # A volume of 4 x 4 x 4 grey slices with its levels 2 x 2 x 2 and 1 x 1 x 1: seven images.
    data = b"".join(bytes([40 * z + 10]) * 16 for z in range(4)) + bytes([7]) * 4 + bytes([99]) * 4 + bytes([200])
    write("volume_l8.dds", header(4, 4, pixel_format(LUMINANCE, bits=8, masks=(0xFF, 0, 0, 0)), mips=3, depth=4,
                                  caps2=VOLUME) + data)
    save_png("volume_l8.png", 4, 4, [(10, 10, 10, 255)] * 16)

    # Three levels declared, the first alone present: the file holds one image.
    write("levels_cut.dds", header(4, 4, pixel_format(FOURCC, b"DXT1"), mips=3) + struct.pack("<HHI", 0x001F, 0x001F, 0))
    save_png("levels_cut.png", 4, 4, [(0, 0, 255, 255)] * 16)

    # Refused: a depth-stencil DXGI format, an unknown FourCC, and a header without pixels.
    write("dxgi_depth_stencil.dds", header(4, 4, pixel_format(FOURCC, b"DX10")) + dx10(45) + b"\0" * 64)
    write("fourcc_unknown.dds", header(4, 4, pixel_format(FOURCC, b"ETC1")) + b"\0" * 8)
    write("no_pixels.dds", header(4, 4, pixel_format(FOURCC, b"DXT5")))


if __name__ == "__main__":
    sys.exit(main())
