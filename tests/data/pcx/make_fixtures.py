#!/usr/bin/python3
"""Writes the PCX fixtures of the reader tests and the PNG each one must decode to."""
import os
import struct
import sys

from PIL import Image

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "tools"))

from picture_writers import bit_row  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))


def header(version, encoding, bits, width, height, planes, bpl, palette16=b"", pal_info=1, xmin=0, ymin=0):
    h = struct.pack("<BBBBHHHHHH", 10, version, encoding, bits, xmin, ymin, xmin + width - 1, ymin + height - 1, 72, 72)
    h += palette16.ljust(48, b"\0")[:48]
    h += struct.pack("<BBHH", 0, planes, bpl, pal_info)
    return h.ljust(128, b"\0")


def rle(data):
    out = bytearray()
    i = 0
    while i < len(data):
        v = data[i]
        n = 1
        while i + n < len(data) and data[i + n] == v and n < 63:
            n += 1
        if n > 1 or v >= 0xC0:
            out += bytes([0xC0 | n, v])
        else:
            out.append(v)
        i += n
    return bytes(out)


def save(name, data, pixels):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)
    h = len(pixels)
    w = len(pixels[0])
    img = Image.new("RGB", (w, h))
    img.putdata([p for row in pixels for p in row])
    img.save(os.path.join(HERE, os.path.splitext(name)[0] + ".png"))


def pattern(x, y, n):
    return (x * 7 + y * 3 + (x * y) % 5) % n


def eight_bit_trailer():
    # Odd width, run-length rows; the 769-byte trailer carries the colours.
    w, h = 5, 4
    pal = [((i * 37) % 256, (i * 91) % 256, (255 - i) % 256) for i in range(256)]
    rows = b""
    pixels = []
    for y in range(h):
        idx = [pattern(x, y, 256) if x != 2 else 0xC5 for x in range(w)]
        rows += rle(bytes(idx + [0]))  # BytesPerLine 6
        pixels.append([pal[i] for i in idx])
    data = header(5, 1, 8, w, h, 1, 6) + rows + b"\x0c" + b"".join(bytes(c) for c in pal)
    save("trailer8.pcx", data, pixels)


def gray_without_trailer():
    # Raw grey with more than 769 bytes of pixels: none of them may be taken for a trailer.
    w, h = 40, 30
    idx = [[pattern(x, y, 256) for x in range(w)] for y in range(h)]
    data = header(5, 0, 8, w, h, 1, w, pal_info=2) + b"".join(bytes(r) for r in idx)
    save("gray8_raw.pcx", data, [[(v, v, v) for v in r] for r in idx])


def sixteen_colors(name, version, width):
    h = 3
    pal16 = [((i * 50) % 256, (i * 17) % 256, (i * 90) % 256) for i in range(16)]
    std = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
           (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255), (255, 0, 255),
           (0, 255, 255), (255, 255, 255)]
    colors = std if version == 3 else pal16
    bpl = ((width + 7) // 8 + 1) & ~1
    body = b""
    pixels = []
    for y in range(h):
        idx = [pattern(x, y, 16) for x in range(width)]
        idx[-1] = 15 - y  # the last pixel of an odd row sits in a high nibble
        planes = []
        for k in range(4):
            planes.append(bit_row([v >> k & 1 for v in idx], bpl))
        body += rle(b"".join(planes))
        pixels.append([colors[v] for v in idx])
    data = header(version, 1, 1, width, h, 4, bpl, b"".join(bytes(c) for c in pal16)) + body
    save(name, data, pixels)


def ten_wide_from_x10():
    w, h = 10, 2
    rows = [[(x + y) % 2 for x in range(w)] for y in range(h)]
    body = b"".join(bit_row(r) for r in rows)
    data = header(5, 0, 1, w, h, 1, 2, xmin=10, ymin=4) + body
    save("xmin10.pcx", data, [[(255, 255, 255) if v else (0, 0, 0) for v in r] for r in rows])


def true_color_padded():
    w, h = 3, 2
    bpl = 4
    body = b""
    pixels = []
    for y in range(h):
        px = [((x * 80 + y * 10) % 256, (x * 30 + 100) % 256, (y * 120 + x) % 256) for x in range(w)]
        for k in range(3):
            body += bytes(p[k] for p in px) + b"\xee"  # padding byte must not show
        pixels.append(px)
    data = header(5, 0, 8, w, h, 3, bpl) + body
    save("rgb24_raw.pcx", data, pixels)


def two_bit():
    w, h = 6, 2
    pal16 = [((i * 60) % 256, (i * 20) % 256, 200 - i * 10) for i in range(16)]
    body = b""
    pixels = []
    for y in range(h):
        idx = [(x + y) % 4 for x in range(w)]
        b = bytearray(2)
        for x, v in enumerate(idx):
            b[x // 4] |= v << (6 - 2 * (x % 4))
        body += bytes(b)
        pixels.append([pal16[v] for v in idx])
    data = header(5, 0, 2, w, h, 1, 2, b"".join(bytes(c) for c in pal16)) + body
    save("indexed2.pcx", data, pixels)


eight_bit_trailer()
gray_without_trailer()
sixteen_colors("planes4_odd.pcx", 5, 13)
sixteen_colors("version3.pcx", 3, 8)
ten_wide_from_x10()
true_color_padded()
two_bit()
