#!/usr/bin/python3
# Writes the picture pairs the compare tests read. Deterministic: the noise comes from a
# fixed linear congruential sequence, so running it again gives the same files.
from PIL import Image


def base(width, height):
    pixels = []
    for y in range(height):
        for x in range(width):
            # A gradient with a checker and a diagonal, so shifts and noise change SSIM.
            r = (x * 4) % 256
            g = (y * 5) % 256
            b = 200 if ((x // 8) + (y // 8)) % 2 else 40
            if abs(x - y) < 3:
                r, g, b = 250, 250, 250
            pixels.append((r, g, b, 255))
    return pixels


def save(name, width, height, pixels):
    image = Image.new("RGBA", (width, height))
    image.putdata(pixels)
    image.save(name)


def main():
    w, h = 64, 48
    a = base(w, h)
    save("base.png", w, h, a)

    seed = 12345
    noisy = []
    for p in a:
        seed = (seed * 1103515245 + 12345) % (1 << 31)
        n = (seed >> 16) % 7 - 3
        noisy.append(tuple(min(255, max(0, c + n)) for c in p[:3]) + (255,))
    save("noisy.png", w, h, noisy)

    shifted = []
    for y in range(h):
        for x in range(w):
            shifted.append(a[y * w + max(0, x - 1)])
    save("shifted.png", w, h, shifted)

    # The same colours, alpha lowered in one corner block.
    alpha = [(p[0], p[1], p[2], 255) for p in base(32, 32)]
    save("alpha_a.png", 32, 32, alpha)
    alpha_b = list(alpha)
    for y in range(4, 12):
        for x in range(20, 30):
            r, g, b, _ = alpha_b[y * 32 + x]
            alpha_b[y * 32 + x] = (r, g, b, 128)
    save("alpha_b.png", 32, 32, alpha_b)

    # A smaller picture: the top-left 40 x 30 of the base with one pixel changed.
    small = [a[y * w + x] for y in range(30) for x in range(40)]
    small[5 * 40 + 7] = (0, 0, 0, 255)
    save("small.png", 40, 30, small)


main()
