#!/usr/bin/env python3
"""Writes a TIFF of 24-bit floats (a sign, 7 bits of exponent biased by 63, 16 bits of
mantissa, as Photoshop stores them) from an uncompressed little-endian TIFF of 32-bit floats
in one strip, as ImageMagick writes it; ImageMagick's own 24-bit floats are integers."""
import math
import struct
import sys


def read_float32(path):
    data = open(path, "rb").read()
    assert data[:4] == b"II*\0"
    ifd = struct.unpack_from("<I", data, 4)[0]
    tags = {}
    for i in range(struct.unpack_from("<H", data, ifd)[0]):
        tag, kind, count, value = struct.unpack_from("<HHII", data, ifd + 2 + 12 * i)
        if kind == 3 and count == 1:
            value &= 0xFFFF
        tags[tag] = (kind, count, value)
    width, height, samples = tags[256][2], tags[257][2], tags[277][2]
    assert tags[273][1] == 1 and 339 in tags
    offset = tags[273][2]
    count = width * height * samples
    return width, height, samples, struct.unpack_from("<%df" % count, data, offset)


def float24(v):
    sign = 0x800000 if v < 0 else 0
    v = abs(v)
    if v == 0:
        return sign
    mantissa, exponent = math.frexp(v)  # v = mantissa * 2^exponent, mantissa in [0.5, 1)
    e = exponent - 1 + 63
    m = round((mantissa * 2 - 1) * 65536)
    if m == 65536:
        m, e = 0, e + 1
    assert 0 < e < 127, v
    return sign | e << 16 | m


def main(source, target):
    width, height, samples, values = read_float32(source)
    pixels = b"".join(struct.pack("<I", float24(v))[:3] for v in values)
    entries = [
        (256, 4, [width]), (257, 4, [height]), (258, 3, [24] * samples), (259, 3, [1]),
        (262, 3, [2 if samples >= 3 else 1]), (273, 4, [8]), (277, 3, [samples]),
        (278, 4, [height]), (279, 4, [len(pixels)]), (284, 3, [1]), (339, 3, [3] * samples),
    ]
    out = bytearray(b"II*\0" + struct.pack("<I", 0) + pixels)
    if len(out) % 2:
        out += b"\0"
    ifd = len(out)
    struct.pack_into("<I", out, 4, ifd)
    out += struct.pack("<H", len(entries))
    extra = bytearray()
    extra_at = ifd + 2 + 12 * len(entries) + 4
    for tag, kind, values in entries:
        size = 2 if kind == 3 else 4
        raw = b"".join(struct.pack("<H" if size == 2 else "<I", v) for v in values)
        if len(raw) <= 4:
            field = raw.ljust(4, b"\0")
        else:
            field = struct.pack("<I", extra_at + len(extra))
            extra += raw
        out += struct.pack("<HHI", tag, kind, len(values)) + field
    out += struct.pack("<I", 0) + extra
    open(target, "wb").write(out)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
