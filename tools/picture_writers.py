#!/usr/bin/python3
"""Small writers for the formats Pillow does not write (or writes only one way), shared by the
sample generator (tools/make_samples.py) and the fixture scripts under tests/data.

`planes` are lists of channel rows, top row first; each row a list of samples.
"""

import os
import struct

from PIL import Image


# ---------------------------------------------------------------------------------------
# Run-length coders


def runs_and_copies(samples, longest, shortest, pair_at_end=False):
    """A row as packets, each (True, run of equal samples) or (False, samples to copy), none
    longer than `longest`. A run needs `shortest` samples (two at the row's end with
    pair_at_end); a copy stops where such a run starts."""
    i, n = 0, len(samples)
    while i < n:
        run = 1
        while i + run < n and run < longest and samples[i + run] == samples[i]:
            run += 1
        if run >= shortest or pair_at_end and i + run == n and run > 1:
            yield True, samples[i:i + run]
            i += run
            continue
        start = i
        while i < n and i - start < longest:
            if i + shortest - 1 < n and all(samples[i + k] == samples[i] for k in range(1, shortest)):
                break
            i += 1
        yield False, samples[start:i]


def sgi_rle(samples, wide=False):
    """SGI run-length packets for one channel row (bytes or 16-bit values), with end marker."""
    unit = (lambda v: struct.pack(">H", v)) if wide else (lambda v: bytes([v]))
    out = bytearray()
    for run, part in runs_and_copies(samples, 127, 3, pair_at_end=True):
        if run:
            out += unit(len(part)) + unit(part[0])
        else:
            out += unit(0x80 | len(part)) + b"".join(unit(v) for v in part)
    out += unit(0)
    return bytes(out)


def rla_rle(data):
    """RLA packets: a negative count copies bytes, a count c >= 0 repeats one byte c + 1 times."""
    out = bytearray()
    for run, part in runs_and_copies(data, 128, 2):
        out += bytes([len(part) - 1, part[0]]) if run else struct.pack(">b", -len(part)) + bytes(part)
    return bytes(out)


def cut_row(indices):
    """One Dr. Halo row: byte count, packets (bit 7 set: a run), end marker."""
    out = bytearray()
    for run, part in runs_and_copies(indices, 127, 3):
        out += bytes([0x80 | len(part), part[0]]) if run else bytes([len(part)]) + bytes(part)
    out += b"\0"
    return struct.pack("<H", len(out)) + bytes(out)


def bit_row(bits, length=None):
    """Samples of one bit, the first in the high bit of the first byte, in `length` bytes (by
    default as few as hold them)."""
    out = bytearray((len(bits) + 7) // 8 if length is None else length)
    for x, v in enumerate(bits):
        if v:
            out[x // 8] |= 0x80 >> (x % 8)
    return bytes(out)


def packbits(row):
    out = bytearray()
    for run, part in runs_and_copies(row, 128, 2):
        out += bytes([257 - len(part), part[0]]) if run else bytes([len(part) - 1]) + bytes(part)
    return bytes(out)


# ---------------------------------------------------------------------------------------
# Writers


def write_sgi(path, width, height, planes, rle=True, wide=False, dimension=None):
    """planes[c][y][x], y = 0 the top row; the file stores the bottom row first."""
    channels = len(planes)
    if dimension is None:
        dimension = 3 if channels > 1 else 2
    header = bytearray(512)
    struct.pack_into(">HBBHHHH", header, 0, 474, 1 if rle else 0, 2 if wide else 1, dimension, width, height, channels)
    struct.pack_into(">II", header, 12, 0, 65535 if wide else 255)
    header[24:24 + 11] = b"vumo sample"
    fmt = ">%dH" % width if wide else "%dB" % width
    rows = [[planes[c][height - 1 - r] for r in range(height)] for c in range(channels)]
    if not rle:
        body = b"".join(struct.pack(fmt, *rows[c][r]) for c in range(channels) for r in range(height))
        data = bytes(header) + body
    else:
        table_size = 8 * height * channels
        offsets, lengths, body = [], [], bytearray()
        for c in range(channels):
            for r in range(height):
                packed = sgi_rle(rows[c][r], wide)
                offsets.append(512 + table_size + len(body))
                lengths.append(len(packed))  # bytes, also for 16-bit samples
                body += packed
        n = height * channels
        data = bytes(header) + struct.pack(">%dI" % n, *offsets) + struct.pack(">%dI" % n, *lengths) + bytes(body)
    with open(path, "wb") as f:
        f.write(data)


def rla_header(width, height, channels=3, matte=0, bits=8, gamma=b"", space=b"rgb", bottom_up=True):
    header = bytearray(740)
    top, bottom = (height - 1, 0) if bottom_up else (0, height - 1)
    struct.pack_into(">hhhh", header, 0, 0, width - 1, bottom, top)
    struct.pack_into(">hhhh", header, 8, 0, width - 1, bottom, top)
    struct.pack_into(">hhhhhH", header, 16, 1, 0, channels, matte, 0, 0xFFFE)
    header[28:28 + len(gamma)] = gamma
    header[580:580 + len(space)] = space
    header[612:614] = b"\0\0"
    struct.pack_into(">hhhhh", header, 658, bits, 0, bits if matte else 0, 0, 0)
    header[464:464 + 4] = b"vumo"
    return header


def write_rla(path, width, height, planes, bits=8, gamma=b"", space=b"rgb", bottom_up=True):
    """planes[c][y][x] with y = 0 the top row; channels red, green, blue[, matte]."""
    channels = len(planes)
    matte = 1 if channels == 4 else 0
    header = rla_header(width, height, 3, matte, bits, gamma, space, bottom_up)
    lines = []
    for i in range(height):
        y = height - 1 - i if bottom_up else i
        line = bytearray()
        for c in range(channels):
            row = planes[c][y]
            if bits > 8:
                # 16-bit channels are coded as two byte planes: every high byte, then every low byte.
                raw = bytes(v >> 8 for v in row) + bytes(v & 0xFF for v in row)
            else:
                raw = bytes(row)
            packed = rla_rle(raw)
            line += struct.pack(">H", len(packed)) + packed
        lines.append(bytes(line))
    offsets, position = [], 740 + 4 * height
    for line in lines:
        offsets.append(position)
        position += len(line)
    with open(path, "wb") as f:
        f.write(bytes(header) + struct.pack(">%dI" % height, *offsets) + b"".join(lines))


def write_cel(path, width, height, palette, indices):
    """palette: 256 (r, g, b) 8-bit triples, stored as 6-bit values; indices: rows top first."""
    header = struct.pack("<HHHHHBBI16x", 0x9119, width, height, 0, 0, 8, 0, width * height)
    pal = bytes(v >> 2 for rgb in palette for v in rgb)
    with open(path, "wb") as f:
        f.write(header + pal + b"".join(bytes(row) for row in indices))


def write_cut(path, width, height, indices):
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", width, height, 0) + b"".join(cut_row(row) for row in indices))


def halo_palette(palette, declared=None):
    """A Dr. Halo palette file: 40-byte header, 6-byte entries, 512-byte blocks; an entry that
    would start past byte 506 of a block goes to the start of the next block."""
    count = len(palette)
    blocks = [bytearray(512)]
    first = blocks[0]
    first[0:2] = b"AH"
    struct.pack_into("<HHBBHHHHHH", first, 2, 0x0A, 0, ord("P"), 0, 0x0C, 0x1F,
                     (count if declared is None else declared) - 1, 255, 255, 255)
    first[20:28] = b"Dr. Halo"
    position = 40
    for r, g, b in palette:
        if position > 506:
            blocks.append(bytearray(512))
            position = 0
        struct.pack_into("<HHH", blocks[-1], position, r, g, b)
        position += 6
    return b"".join(bytes(block) for block in blocks)


# ---------------------------------------------------------------------------------------
# For the fixture scripts: a picture as plain channel rows, and the PNG it should decode to


def fixture_path(script):
    """The function that names a file beside the fixture script `script`."""
    folder = os.path.dirname(os.path.abspath(script))
    return lambda name: os.path.join(folder, name)


def plane(width, height, f):
    return [[f(x, y) for x in range(width)] for y in range(height)]


def save_png(file, width, height, rgba):
    """rgba: function (x, y) -> (r, g, b, a)."""
    image = Image.new("RGBA", (width, height))
    image.putdata([rgba(x, y) for y in range(height) for x in range(width)])
    image.save(file)
