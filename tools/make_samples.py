#!/usr/bin/python3
"""Makes the seamless sample textures in data/samples/ (BMP and JPEG).

Every pattern is periodic in the texture's size, so copies laid side by side from the
top-left corner meet without a seam. Fixed seeds keep the files the same on every run.
Run from anywhere: tools/make_samples.py [output-folder]
"""
import math
import os
import random
import sys

from PIL import Image

SIZE = 128


def periodic_noise(size, periods, seed, octaves_falloff=0.5):
    """Value noise that wraps: lattices whose cell counts divide the size."""
    rng = random.Random(seed)
    total = [[0.0] * size for _ in range(size)]
    amplitude, weight = 1.0, 0.0
    for cells in periods:
        grid = [[rng.random() for _ in range(cells)] for _ in range(cells)]
        step = size / cells
        for y in range(size):
            gy = y / step
            y0 = int(gy) % cells
            y1 = (y0 + 1) % cells
            ty = gy - int(gy)
            ty = ty * ty * (3 - 2 * ty)
            row = total[y]
            for x in range(size):
                gx = x / step
                x0 = int(gx) % cells
                x1 = (x0 + 1) % cells
                tx = gx - int(gx)
                tx = tx * tx * (3 - 2 * tx)
                top = grid[y0][x0] * (1 - tx) + grid[y0][x1] * tx
                bottom = grid[y1][x0] * (1 - tx) + grid[y1][x1] * tx
                row[x] += amplitude * (top * (1 - ty) + bottom * ty)
        weight += amplitude
        amplitude *= octaves_falloff
    return [[v / weight for v in row] for row in total]


def clamp(v):
    return max(0, min(255, int(round(v))))


def bricks():
    image = Image.new("RGB", (SIZE, SIZE))
    noise = periodic_noise(SIZE, [4, 8, 16, 32], seed=11)
    rng = random.Random(5)
    brick_w, brick_h, mortar = 64, 32, 3
    tints = {}
    for y in range(SIZE):
        row = y // brick_h
        shift = (brick_w // 2) * (row % 2)
        for x in range(SIZE):
            bx = (x + shift) % SIZE
            col = bx // brick_w
            key = (row, col)
            if key not in tints:
                tints[key] = rng.uniform(-18, 18)
            n = noise[y][x]
            in_mortar = (y % brick_h) < mortar or (bx % brick_w) < mortar
            if in_mortar:
                g = 170 + 40 * (n - 0.5)
                image.putpixel((x, y), (clamp(g), clamp(g - 4), clamp(g - 12)))
            else:
                t = tints[key] + 50 * (n - 0.5)
                image.putpixel((x, y), (clamp(150 + t), clamp(62 + t * 0.5), clamp(45 + t * 0.4)))
    return image


def checker_wood():
    image = Image.new("RGB", (SIZE, SIZE))
    noise = periodic_noise(SIZE, [2, 4, 8], seed=23)
    cell = SIZE // 2
    for y in range(SIZE):
        for x in range(SIZE):
            horizontal = ((x // cell) + (y // cell)) % 2 == 0
            along, across = (x, y) if horizontal else (y, x)
            # Grain: stripes across the plank, bent by noise that wraps with the tile.
            phase = across * 2 * math.pi / 16 + 6.0 * noise[y][x] + 0.02 * along
            grain = 0.5 + 0.5 * math.sin(phase)
            grain = grain ** 3
            base = 0.8 if horizontal else 0.62
            r = (180 - 70 * grain) * base + 20
            g = (120 - 55 * grain) * base + 12
            b = (70 - 35 * grain) * base + 6
            edge = min(x % cell, y % cell, cell - 1 - x % cell, cell - 1 - y % cell)
            if edge == 0:
                r, g, b = r * 0.55, g * 0.55, b * 0.55
            image.putpixel((x, y), (clamp(r), clamp(g), clamp(b)))
    return image


def stone():
    noise = periodic_noise(SIZE, [4, 8, 16, 32, 64], seed=41, octaves_falloff=0.55)
    image = Image.new("RGB", (SIZE, SIZE))
    for y in range(SIZE):
        for x in range(SIZE):
            v = noise[y][x]
            image.putpixel((x, y), (clamp(90 + 120 * v), clamp(95 + 115 * v), clamp(100 + 105 * v)))
    return image


def marble_paletted():
    """An 8-bit paletted bitmap: veins from a sine of wrapped noise."""
    size = 96
    noise = periodic_noise(size, [3, 6, 12, 24], seed=7)
    palette = []
    for i in range(256):
        t = i / 255
        palette += [clamp(235 - 120 * t), clamp(230 - 110 * t), clamp(220 - 60 * t)]
    image = Image.new("P", (size, size))
    image.putpalette(palette)
    for y in range(size):
        for x in range(size):
            v = 0.5 + 0.5 * math.sin(2 * math.pi * (x / size) * 2 + 9.0 * noise[y][x])
            image.putpixel((x, y), clamp(255 * v ** 4))
    return image


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "data", "samples")
    os.makedirs(out, exist_ok=True)
    bricks().save(os.path.join(out, "bricks.bmp"))
    marble_paletted().save(os.path.join(out, "marble.bmp"))
    checker_wood().save(os.path.join(out, "checker_wood.jpg"), quality=90)
    stone().save(os.path.join(out, "stone.jpg"), quality=90)
    # The same stone with a .jpeg name: the start-up mask leaves it out, the picture mask has it.
    stone().save(os.path.join(out, "stone_fine.jpeg"), quality=95)


if __name__ == "__main__":
    main()
