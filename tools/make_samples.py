#!/usr/bin/python3
"""Makes the seamless sample textures in data/samples/, one function per format.

Every pattern is periodic in the texture's size (sines with whole periods, noise on a
wrapping lattice), so copies laid side by side meet without a seam when the viewer tiles
them. Fixed seeds keep the files the same on every run. Pillow draws the pictures and writes
the formats it knows; tools/picture_writers.py writes the others.

    tools/make_samples.py [output-folder [format ...]]
"""
import math
import os
import random
import struct
import sys

from PIL import Image

import picture_writers as w

SIZE = 128
N = SIZE  # the period of wave()


# ---------------------------------------------------------------------------------------
# Pictures


def lattice_place(g, cells):
    cell = int(g) % cells
    t = g - int(g)
    return cell, (cell + 1) % cells, t * t * (3 - 2 * t)


def periodic_noise(size, periods, seed, octaves_falloff=0.5):
    """Value noise that wraps: lattices whose cell counts divide the size."""
    rng = random.Random(seed)
    total = [[0.0] * size for _ in range(size)]
    amplitude, weight = 1.0, 0.0
    for cells in periods:
        grid = [[rng.random() for _ in range(cells)] for _ in range(cells)]
        # Where each pixel falls along an axis: the lattice points either side (wrapping) and
        # the smoothed fraction between them; the same for rows and columns.
        places = [lattice_place(v / (size / cells), cells) for v in range(size)]
        for y in range(size):
            y0, y1, ty = places[y]
            row = total[y]
            for x in range(size):
                x0, x1, tx = places[x]
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


def banded_bricks(size=256):
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
    return img


def lava(path):
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
    packed = [[w.packbits(r) for r in p] for p in planes]
    data = b"8BPS" + struct.pack(">H6xHIIHH", 1, 3, N, N, 8, 3)
    data += struct.pack(">III", 0, 0, 0) + struct.pack(">H", 1)
    data += b"".join(struct.pack(">H", len(r)) for p in packed for r in p)
    data += b"".join(r for p in packed for r in p)
    with open(path, "wb") as f:
        f.write(data)


def ripples():
    """A raw pixel map: blue-green water with interfering ripples."""
    img = Image.new("RGB", (N, N))
    px = img.load()
    for y in range(N):
        for x in range(N):
            v = (wave(x, y, 5, 3) + wave(x, y, -4, 6, 1.1) + 0.5 * wave(x, y, 9, 9, 0.5)) / 2.5
            px[x, y] = (int(20 + 30 * v + 30), int(110 + 60 * v), int(150 + 70 * v))
    return img


def texture(size):
    """A seamless RGB picture: sines whose periods divide the size tile without seams."""
    image = Image.new("RGB", (size, size))
    pixels = image.load()
    t = 2 * math.pi / size
    for y in range(size):
        for x in range(size):
            a = math.sin(t * x * 2) + math.sin(t * y * 3) + 0.6 * math.sin(t * (x + y) * 4)
            b = math.cos(t * (x - 2 * y) * 1) + 0.5 * math.sin(t * x * 5) * math.cos(t * y * 2)
            grain = 0.15 * math.sin(t * (7 * x + 11 * y)) * math.sin(t * (13 * x - 5 * y))
            v = 0.5 + 0.18 * a + grain
            w = 0.5 + 0.25 * b
            pixels[x, y] = (
                max(0, min(255, round(255 * (0.35 + 0.55 * v)))),
                max(0, min(255, round(255 * (0.25 + 0.45 * v * w + 0.2 * w)))),
                max(0, min(255, round(255 * (0.15 + 0.35 * w)))),
            )
    return image


def planes_of(image):
    width, height = image.size
    data = list(image.getdata())
    bands = len(image.getbands())
    return [[[data[y * width + x][c] for x in range(width)] for y in range(height)] for c in range(bands)]


def quantised_texture(size):
    """The texture in 256 colours: its palette as (r, g, b) triples and its rows of indices."""
    quantised = texture(size).quantize(colors=256, dither=Image.Dither.NONE)
    raw = quantised.getpalette()[:768]
    raw += [0] * (768 - len(raw))
    palette = [tuple(raw[3 * i:3 * i + 3]) for i in range(256)]
    flat = list(quantised.getdata())
    return palette, [flat[y * size:(y + 1) * size] for y in range(size)]


# ---------------------------------------------------------------------------------------
# One function per format


def bmp(out):
    bricks().save(os.path.join(out, "bricks.bmp"))
    marble_paletted().save(os.path.join(out, "marble.bmp"))


def jpeg(out):
    checker_wood().save(os.path.join(out, "checker_wood.jpg"), quality=90)
    stone().save(os.path.join(out, "stone.jpg"), quality=90)
    # The same stone with a .jpeg name: the start-up mask leaves it out, the picture mask has it.
    stone().save(os.path.join(out, "stone_fine.jpeg"), quality=95)


def targa(out):
    """32-bit pixels with alpha, run-length coded rows and a colour map."""
    glass_tiles().save(os.path.join(out, "glass_tiles.tga"))
    banded_bricks().save(os.path.join(out, "bricks_rle.tga"), compression="tga_rle")
    weave().save(os.path.join(out, "weave_palette.tga"))


def pcx(out):
    cobblestones().save(os.path.join(out, "cobblestones.pcx"))


def psd(out):
    lava(os.path.join(out, "lava.psd"))


def portable_map(out):
    ripples().save(os.path.join(out, "ripples.ppm"))


def sgi(out):
    w.write_sgi(os.path.join(out, "texture.sgi"), SIZE, SIZE, planes_of(texture(SIZE)), rle=True)


def rla(out):
    w.write_rla(os.path.join(out, "texture.rla"), SIZE, SIZE, planes_of(texture(SIZE)))


def autodesk(out):
    palette, indices = quantised_texture(SIZE)
    # Six-bit components: keep the top bits so the picture is what the file can hold.
    w.write_cel(os.path.join(out, "texture.cel"), SIZE, SIZE, [tuple(v & 0xFC for v in rgb) for rgb in palette], indices)


def cut(out):
    palette, indices = quantised_texture(SIZE)
    w.write_cut(os.path.join(out, "texture.cut"), SIZE, SIZE, indices)
    with open(os.path.join(out, "texture.pal"), "wb") as f:
        f.write(w.halo_palette(palette))


FORMATS = [bmp, jpeg, targa, pcx, psd, portable_map, sgi, rla, autodesk, cut]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "data", "samples")
    wanted = set(sys.argv[2:])
    os.makedirs(out, exist_ok=True)
    for make in FORMATS:
        if not wanted or make.__name__ in wanted:
            make(out)


if __name__ == "__main__":
    main()
