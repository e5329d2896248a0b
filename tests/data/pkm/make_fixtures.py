#!/usr/bin/env python3
"""Writes the PKM fixtures. etc1.pkm is etc1tool's encoding of source.png, a pattern drawn here,
and etc1_etc1tool.png etc1tool's own decode of it; the ETC2 and EAC files are blocks written
field by field, the refused files headers with one fault each. Run from this folder."""
import struct
import subprocess
import zlib

WIDTH, HEIGHT = 30, 22  # neither a multiple of 4: the last blocks are cut


def png(path, width, height, rows):
    """A plain 8-bit RGB PNG; `rows` holds width * 3 bytes a row."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    raw = b"".join(b"\0" + row for row in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def source_rows():
    # Smooth ramps for the differential mode, hard edges and a saturated disc for the others.
    rows = []
    for y in range(HEIGHT):
        row = bytearray()
        for x in range(WIDTH):
            r, g, b = x * 255 // (WIDTH - 1), y * 255 // (HEIGHT - 1), 96
            if (x - 20) ** 2 + (y - 11) ** 2 < 36:
                r, g, b = 255, 32, 200
            if x < 8 and (y // 4) % 2:
                r, g, b = 0, 0, 0
            row += bytes((r, g, b))
        rows.append(bytes(row))
    return rows


def header(version, code, width, height, padded_width=None, padded_height=None):
    pw = (width + 3) & ~3 if padded_width is None else padded_width
    ph = (height + 3) & ~3 if padded_height is None else padded_height
    return b"PKM " + version + struct.pack(">HHHHH", code, pw, ph, width, height)


class Word:
    """A 64-bit block word, bits numbered from 63 (the first byte's top bit), stored big-endian."""
    def __init__(self):
        self.value = 0

    def put(self, high, low, value):
        mask = ((1 << (high - low + 1)) - 1) << low
        self.value = (self.value & ~mask) | ((value << low) & mask)
        return self

    def index(self, x, y, index):
        j = 4 * x + y
        return self.put(16 + j, 16 + j, index >> 1).put(j, j, index & 1)

    def eac(self, x, y, index):
        top = 47 - 3 * (4 * x + y)
        return self.put(top, top - 2, index)

    def bytes(self):
        return struct.pack(">Q", self.value)


def indices(word, seed):
    for j in range(16):
        word.index(j // 4, j % 4, (j * 7 + seed) % 4)
    return word


def individual(flip):
    w = Word().put(63, 60, 14).put(59, 56, 1).put(55, 52, 3).put(51, 48, 2).put(47, 44, 8).put(43, 40, 15)
    return indices(w.put(39, 37, 2).put(36, 34, 7).put(32, 32, flip), 1)


def differential(opaque):
    w = Word().put(63, 59, 28).put(58, 56, 4).put(55, 51, 4).put(50, 48, 2).put(47, 43, 3)
    return indices(w.put(39, 37, 0).put(36, 34, 5).put(33, 33, opaque), 2)


def t_mode(opaque):
    w = Word().put(63, 61, 7).put(60, 59, 3).put(57, 56, 1).put(55, 52, 4).put(51, 48, 9)
    return indices(w.put(47, 44, 8).put(43, 40, 2).put(39, 36, 15).put(35, 34, 2).put(33, 33, opaque).put(32, 32, 1), 3)


def h_mode(opaque):
    w = Word().put(62, 59, 5).put(58, 56, 3).put(55, 53, 7).put(51, 51, 1).put(49, 47, 6)
    return indices(w.put(46, 43, 10).put(42, 39, 1).put(38, 35, 12).put(34, 34, 1).put(33, 33, opaque), 0)


def planar():
    w = Word().put(62, 57, 40).put(56, 56, 1).put(54, 49, 20).put(47, 45, 7).put(44, 43, 3).put(41, 39, 5)
    return w.put(38, 34, 31).put(33, 33, 1).put(32, 32, 1).put(24, 19, 63).put(12, 6, 127).put(5, 0, 10)


def eac(base, multiplier, table):
    w = Word().put(63, 56, base).put(55, 52, multiplier).put(51, 48, table)
    for j in range(16):
        w.eac(j // 4, j % 4, (j * 3) % 8)
    return w


def write(name, data):
    with open(name, "wb") as f:
        f.write(data)


def main():
    png("source.png", WIDTH, HEIGHT, source_rows())
    subprocess.run(["etc1tool", "source.png", "--encode", "-o", "etc1.pkm"], check=True)
    subprocess.run(["etc1tool", "etc1.pkm", "--decode", "-o", "etc1_etc1tool.png"], check=True)

    # 12 x 8: every colour mode once, in both rows of blocks.
    colour = [individual(0), individual(1), differential(1), t_mode(1), h_mode(1), planar()]
    write("etc2_rgb.pkm", header(b"20", 1, 12, 8) + b"".join(w.bytes() for w in colour))
    alphas = [eac(103, 2, 13), eac(250, 15, 0), eac(5, 15, 0), eac(128, 0, 3), eac(0, 1, 7), eac(255, 3, 14)]
    write("etc2_rgba.pkm", header(b"20", 3, 12, 8) + b"".join(a.bytes() + w.bytes() for a, w in zip(alphas, colour)))
    punch = [differential(0), differential(1), t_mode(0), h_mode(0), planar(), t_mode(1)]
    write("etc2_rgba1.pkm", header(b"20", 4, 10, 7) + b"".join(w.bytes() for w in punch))
    signed = [eac(60, 2, 13), eac(0x80, 0, 13), eac(0x81, 15, 0), eac(127, 15, 0)]
    unsigned = [eac(103, 2, 13), eac(103, 0, 13), eac(255, 15, 0), eac(0, 15, 0)]
    write("r11.pkm", header(b"20", 5, 8, 8) + b"".join(w.bytes() for w in unsigned))
    write("rg11.pkm", header(b"20", 6, 8, 8) + b"".join(r.bytes() + g.bytes() for r, g in zip(unsigned, signed)))
    write("r11_signed.pkm", header(b"20", 7, 8, 8) + b"".join(w.bytes() for w in signed))
    write("rg11_signed.pkm", header(b"20", 8, 8, 8) + b"".join(r.bytes() + g.bytes() for r, g in zip(signed, unsigned)))

    # Refused: a padded width that is not the width rounded up to 4, a version 10 file of an
    # ETC2 format, a format code no writer uses, and a file whose last block is missing.
    block = individual(0).bytes()
    write("padding_wrong.pkm", header(b"10", 0, 6, 4, padded_width=12) + block * 2)
    write("version_10_etc2.pkm", header(b"10", 1, 4, 4) + block)
    write("format_unknown.pkm", header(b"20", 9, 4, 4) + block)
    write("blocks_cut.pkm", header(b"20", 1, 8, 4) + block)


if __name__ == "__main__":
    main()
