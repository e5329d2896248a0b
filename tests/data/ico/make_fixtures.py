#!/usr/bin/python3
"""Writes the icon fixtures and the look each must decode to (run once; the results are committed).

Each icon is assembled by hand so that the AND mask, the bit depth and the entry layout are
exactly known; the expected PNG is drawn from the same pixel values, not by decoding the icon.
"""
import struct
from PIL import Image


def colour(x, y):
    return ((x * 37) & 255, (y * 53) & 255, ((x + y) * 29) & 255)


def masked(x, y, size):
    return (x + 2 * y) % 5 == 0 or x == size - 1


def dib(size, bits, alpha=None, palette=None, mask=True, with_and=True):
    """BMP-in-ICO data: a 40-byte header with doubled height, palette, XOR rows, AND rows."""
    ncol = len(palette) if palette else 0
    head = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bits, 0, 0, 0, 0, ncol, 0)
    pal = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in (palette or []))
    rows = []
    stride = ((size * bits + 31) // 32) * 4
    for y in reversed(range(size)):
        row = bytearray()
        if bits == 32:
            for x in range(size):
                r, g, b = colour(x, y)
                row += bytes((b, g, r, alpha(x, y) if alpha else 0))
        elif bits == 24:
            for x in range(size):
                r, g, b = colour(x, y)
                row += bytes((b, g, r))
        else:
            acc, nbits = 0, 0
            for x in range(size):
                acc = (acc << bits) | ((x + y) % ncol)
                nbits += bits
                if nbits == 8:
                    row.append(acc)
                    acc, nbits = 0, 0
            if nbits:
                row.append(acc << (8 - nbits))
        row += bytes(stride - len(row))
        rows.append(bytes(row))
    data = head + pal + b''.join(rows)
    if with_and:
        mstride = ((size + 31) // 32) * 4
        for y in reversed(range(size)):
            bitsrow = bytearray(mstride)
            for x in range(size):
                if mask and masked(x, y, size):
                    bitsrow[x >> 3] |= 0x80 >> (x & 7)
            data += bytes(bitsrow)
    return data


def expected(size, bits, alpha=None, palette=None, mask=True):
    img = Image.new('RGBA', (size, size))
    for y in range(size):
        for x in range(size):
            if bits >= 24:
                r, g, b = colour(x, y)
            else:
                r, g, b = palette[(x + y) % len(palette)]
            if alpha:
                a = alpha(x, y)
            else:
                a = 0 if mask and masked(x, y, size) else 255
            img.putpixel((x, y), (r, g, b, a))
    return img


def ico(entries):
    out = struct.pack('<HHH', 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    body = b''
    for size, bits, data in entries:
        out += struct.pack('<BBBBHHII', size & 255, size & 255, 0, 0, 1, bits, len(data), offset + len(body))
        body += data
    return out + body


def png_entry(size):
    import io
    buf = io.BytesIO()
    Image.new('RGBA', (size, size), (10, 200, 30, 255)).save(buf, 'PNG')
    return buf.getvalue()


def gradient(x, y):
    return (x * 16 + y) & 255 or 1


pal16 = [((i * 16) & 255, (255 - i * 16) & 255, (i * 70) & 255) for i in range(16)]
pal2 = [(0, 0, 0), (250, 240, 10)]
pal256 = [(i, (i * 3) & 255, (255 - i)) for i in range(256)]

fixtures = {
    'and_mask_4bit': ([(16, 4, dib(16, 4, palette=pal16))], expected(16, 4, palette=pal16)),
    'and_mask_1bit': ([(19, 1, dib(19, 1, palette=pal2))], expected(19, 1, palette=pal2)),
    'and_mask_8bit': ([(20, 8, dib(20, 8, palette=pal256))], expected(20, 8, palette=pal256)),
    'alpha_32bit': ([(16, 32, dib(16, 32, alpha=gradient))], expected(16, 32, alpha=gradient)),
    # All-zero alpha: an old 32-bit icon whose transparency is in the AND mask.
    'zero_alpha_32bit': ([(16, 32, dib(16, 32))], expected(16, 32)),
    'no_and_mask_24bit': ([(8, 24, dib(8, 24, with_and=False))], expected(8, 24, mask=False)),
    # Largest first, then deepest: the 32x32 32-bit entry wins over 32x32 8-bit and 16x16 ones;
    # the PNG entry is larger still and wins over all of them (the test removes it to see the rest).
    'several_sizes': ([(16, 4, dib(16, 4, palette=pal16)), (32, 8, dib(32, 8, palette=pal256)),
                       (48, 32, png_entry(48)), (32, 32, dib(32, 32, alpha=gradient)),
                       (16, 32, dib(16, 32, alpha=gradient))], expected(32, 32, alpha=gradient)),
    'png_only': ([(32, 32, png_entry(32))], None),
}

for name, (entries, look) in fixtures.items():
    with open(name + '.ico', 'wb') as f:
        f.write(ico(entries))
    if look:
        look.save(name + '.png')
