#!/usr/bin/python3
"""Makes the seamless sample textures in data/samples/: small Targa files that tile without seams.

    tools/make_targa_samples.py [output-folder]

Every pattern is periodic over its tile (sines with whole periods, noise on a wrapping lattice),
so the default tiled display shows no edges. The three files cover what the reader has to handle:
32-bit pixels with alpha, run-length coded rows and a colour map.
"""
import math
import os
import random
import sys

from PIL import Image


def wrapping_noise(size, cells, seed):
    """Smooth value noise in 0..1 whose lattice wraps around the tile."""
    rnd = random.Random(seed)
    lattice = [[rnd.random() for _ in range(cells)] for _ in range(cells)]
    step = size / cells

    def at(x, y):
        gx, gy = x / step, y / step
        ix, iy = int(gx), int(gy)
        fx, fy = gx - ix, gy - iy
        fx, fy = fx * fx * (3 - 2 * fx), fy * fy * (3 - 2 * fy)
        x0, x1, y0, y1 = ix % cells, (ix + 1) % cells, iy % cells, (iy + 1) % cells
        top = lattice[y0][x0] * (1 - fx) + lattice[y0][x1] * fx
        bottom = lattice[y1][x0] * (1 - fx) + lattice[y1][x1] * fx
        return top * (1 - fy) + bottom * fy

    return at


def clamp(v):
    return max(0, min(255, int(round(v))))


def glass_tiles(size=128):
    """Frosted glass squares with clear lead lines: 32-bit, the alpha varies across each pane."""
    noise = wrapping_noise(size, 8, 11)
    image = Image.new("RGBA", (size, size))
    pane = size // 4
    pixels = image.load()
    for y in range(size):
        for x in range(size):
            px, py = x % pane, y % pane
            if px < 3 or py < 3:
                pixels[x, y] = (52, 56, 60, 255)
                continue
            hue = ((x // pane) + 2 * (y // pane)) % 4
            base = [(90, 160, 210), (200, 120, 80), (110, 190, 120), (190, 170, 90)][hue]
            n = noise(x, y)
            glow = 0.5 + 0.5 * math.cos(2 * math.pi * (px - pane / 2) / pane) * math.cos(2 * math.pi * (py - pane / 2) / pane)
            r, g, b = (clamp(c * (0.7 + 0.5 * n)) for c in base)
            pixels[x, y] = (r, g, b, clamp(120 + 110 * glow))
    return image


def bricks(size=256):
    """Staggered bricks with flat mortar, banded so that rows code into long runs."""
    noise = wrapping_noise(size, 16, 23)
    image = Image.new("RGB", (size, size))
    pixels = image.load()
    brick_h, brick_w = size // 8, size // 4
    for y in range(size):
        row = y // brick_h
        for x in range(size):
            bx = (x + (row % 2) * brick_w // 2) % size
            if y % brick_h < 3 or bx % brick_w < 3:
                pixels[x, y] = (170, 165, 150)
                continue
            shade = int(noise(x, y) * 6) / 6  # a few bands per brick
            tint = ((bx // brick_w) * 37 + row * 53) % 40
            pixels[x, y] = (clamp(140 + tint + 60 * shade), clamp(60 + tint // 2 + 30 * shade), clamp(45 + 25 * shade))
    return image


def weave(size=256):
    """Two-colour basket weave with soft shading, in a 64-colour palette."""
    image = Image.new("RGB", (size, size))
    pixels = image.load()
    strand = size // 8
    for y in range(size):
        for x in range(size):
            cx, cy = x // strand, y // strand
            over = (cx + cy) % 2 == 0
            along = (y % strand) if over else (x % strand)
            across = (x % strand) if over else (y % strand)
            bulge = math.sin(math.pi * (across + 0.5) / strand)
            ripple = 0.85 + 0.15 * math.cos(2 * math.pi * along / strand)
            light = bulge * ripple
            base = (200, 170, 110) if over else (120, 80, 50)
            pixels[x, y] = tuple(clamp(c * (0.35 + 0.75 * light)) for c in base)
    return image.quantize(colors=64, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "data", "samples")
    os.makedirs(out, exist_ok=True)
    glass_tiles().save(os.path.join(out, "glass_tiles.tga"))
    bricks().save(os.path.join(out, "bricks_rle.tga"), compression="tga_rle")
    weave().save(os.path.join(out, "weave_palette.tga"))
    for name in ("glass_tiles.tga", "bricks_rle.tga", "weave_palette.tga"):
        print(name, os.path.getsize(os.path.join(out, name)), "bytes")


if __name__ == "__main__":
    main()
