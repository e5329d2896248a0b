#!/usr/bin/python3
"""Makes the seamless PCX, Photoshop and PPM sample textures in data/samples/.

Every pattern is built from waves whose periods divide the tile size, so the tiles join
without a seam when the viewer tiles them.
"""
import math
import os
import struct

from PIL import Image

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "samples")
N = 128


def wave(x, y, kx, ky, phase=0.0):
    return math.sin(2 * math.pi * (kx * x + ky * y) / N + phase)


def cobblestones():
    """A 256-colour palette picture: stones of warm greys between dark joints."""
    img = Image.new("P", (N, N))
    palette = []
    for i in range(256):
        t = i / 255
        palette += [int(60 + 150 * t), int(55 + 135 * t), int(50 + 110 * t)]
    img.putpalette(palette)
    px = img.load()
    for y in range(N):
        for x in range(N):
            cell = wave(x, y, 4, 0) * wave(x, y, 0, 4)
            stone = abs(cell) ** 0.5
            grain = 0.08 * wave(x, y, 23, 17, 1.3) + 0.05 * wave(x, y, -31, 29, 0.4)
            px[x, y] = max(0, min(255, int(255 * (0.15 + 0.75 * stone + grain))))
    img.save(os.path.join(OUT, "cobblestones.pcx"))


def packbits(row):
    out = bytearray()
    i = 0
    while i < len(row):
        n = 1
        while i + n < len(row) and row[i + n] == row[i] and n < 128:
            n += 1
        if n >= 2:
            out += bytes([257 - n, row[i]])
            i += n
            continue
        j = i
        while j < len(row) and j - i < 128 and not (j + 1 < len(row) and row[j] == row[j + 1]):
            j += 1
        out += bytes([j - i - 1]) + row[i:j]
        i = j
    return bytes(out)


def lava():
    """An RGB Photoshop document, PackBits-coded: glowing cracks in dark rock."""
    planes = [[], [], []]
    for y in range(N):
        rows = [bytearray(N), bytearray(N), bytearray(N)]
        for x in range(N):
            crack = 1 - abs(wave(x, y, 3, 2) + 0.6 * wave(x, y, -2, 5, 0.7) + 0.3 * wave(x, y, 7, -4, 2.1)) / 1.9
            heat = crack ** 6
            rock = 0.5 + 0.25 * wave(x, y, 11, 13, 0.2)
            r = 40 * rock + 215 * heat
            g = 30 * rock + 150 * heat ** 1.5
            b = 28 * rock + 40 * heat ** 3
            for c, v in enumerate((r, g, b)):
                rows[c][x] = max(0, min(255, int(v)))
        for c in range(3):
            planes[c].append(bytes(rows[c]))
    packed = [[packbits(r) for r in p] for p in planes]
    data = b"8BPS" + struct.pack(">H6xHIIHH", 1, 3, N, N, 8, 3)
    data += struct.pack(">III", 0, 0, 0) + struct.pack(">H", 1)
    data += b"".join(struct.pack(">H", len(r)) for p in packed for r in p)
    data += b"".join(r for p in packed for r in p)
    with open(os.path.join(OUT, "lava.psd"), "wb") as f:
        f.write(data)


def ripples():
    """A raw pixel map: blue-green water with interfering ripples."""
    img = Image.new("RGB", (N, N))
    px = img.load()
    for y in range(N):
        for x in range(N):
            v = (wave(x, y, 5, 3) + wave(x, y, -4, 6, 1.1) + 0.5 * wave(x, y, 9, 9, 0.5)) / 2.5
            px[x, y] = (int(20 + 30 * v + 30), int(110 + 60 * v), int(150 + 70 * v))
    img.save(os.path.join(OUT, "ripples.ppm"))


os.makedirs(OUT, exist_ok=True)
cobblestones()
lava()
ripples()
