#!/usr/bin/env python3
"""Writes the fixtures no Debian tool makes: ThunderScan-coded TIFFs (compression 32809)
with an uncompressed twin holding the same 4-bit grey pixels, and DOS EPS files whose TIFF
preview lies behind the PostScript. Usage: write_thunder_eps.py <folder> <preview.tif>"""
import struct
import sys


def tiff(width, height, strips, compression, bits=4, rows_per_strip=None):
    """A little-endian TIFF of grey pixels; `strips` are the coded strips."""
    rows_per_strip = rows_per_strip or height
    entries = [
        (256, 3, 1, width), (257, 3, 1, height), (258, 3, 1, bits), (259, 3, 1, compression),
        (262, 3, 1, 1), (273, 4, len(strips), None), (277, 3, 1, 1), (278, 3, 1, rows_per_strip),
        (279, 4, len(strips), None),
    ]
    data = b"".join(strips)
    ifd_offset = 8 + len(data) + (len(data) & 1)
    extra_offset = ifd_offset + 2 + 12 * len(entries) + 4
    offsets, pos = [], 8
    for s in strips:
        offsets.append(pos)
        pos += len(s)
    out = bytearray(b"II*\0" + struct.pack("<I", ifd_offset) + data + b"\0" * (len(data) & 1))
    extra = bytearray()
    body = bytearray(struct.pack("<H", len(entries)))
    for tag, typ, count, value in entries:
        if tag in (273, 279):
            values = offsets if tag == 273 else [len(s) for s in strips]
            if count == 1:
                body += struct.pack("<HHII", tag, typ, 1, values[0])
            else:
                body += struct.pack("<HHII", tag, typ, count, extra_offset + len(extra))
                extra += struct.pack("<%dI" % count, *values)
        elif typ == 3:
            body += struct.pack("<HHIHH", tag, typ, count, value, 0)
        else:
            body += struct.pack("<HHII", tag, typ, count, value)
    body += struct.pack("<I", 0)
    return bytes(out + body + extra)


def thunder_row(pixels):
    """Codes one row: runs of the last pixel, 2-bit and 3-bit deltas, raw values."""
    out, last, i = bytearray(), 0, 0
    n = len(pixels)
    while i < n:
        run = 0
        while i + run < n and pixels[i + run] == last and run < 63:
            run += 1
        if run >= 2:
            out.append(run)
            i += run
            continue
        d = [((pixels[i + k] - (last if k == 0 else pixels[i + k - 1])) + 8) % 16 - 8 for k in range(min(3, n - i))]
        if len(d) == 3 and all(-1 <= x <= 1 for x in d):
            code = 0x40
            for k, x in enumerate(d):
                code |= {0: 0, 1: 1, -1: 3}[x] << (4 - 2 * k)
            out.append(code)
            last = pixels[i + 2]
            i += 3
        elif len(d) >= 2 and all(-3 <= x <= 3 for x in d[:2]):
            code = 0x80 | ((d[0] & 7) << 3) | (d[1] & 7)
            out.append(code)
            last = pixels[i + 1]
            i += 2
        elif len(d) == 1 and -3 <= d[0] <= 3:
            out.append(0x80 | ((d[0] & 7) << 3) | 4)  # the second field skipped
            last = pixels[i]
            i += 1
        else:
            out.append(0xC0 | pixels[i])
            last = pixels[i]
            i += 1
    return bytes(out)


def pack4(pixels):
    padded = pixels + [0] * (len(pixels) & 1)
    return bytes(padded[k] << 4 | padded[k + 1] for k in range(0, len(padded), 2))


def main():
    folder, preview = sys.argv[1], sys.argv[2]
    width, height = 61, 40  # an odd width: rows end in the middle of a byte
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            if y < 10:
                v = (x // 8) % 16  # long runs
            elif y < 20:
                v = (x + y) % 16  # steps of one
            elif y < 30:
                v = (3 * x + y) % 16  # steps of three
            else:
                v = (x * x + 7 * y) % 16  # anything
            row.append(v)
        rows.append(row)
    coded = [b"".join(thunder_row(r) for r in rows[s:s + 16]) for s in range(0, height, 16)]
    raw = [b"".join(pack4(r) for r in rows[s:s + 16]) for s in range(0, height, 16)]
    open(folder + "/thunder.tif", "wb").write(tiff(width, height, coded, 32809, rows_per_strip=16))
    open(folder + "/thunder_reference.tif", "wb").write(tiff(width, height, raw, 1, rows_per_strip=16))
    open(folder + "/thunder_8bit.tif", "wb").write(tiff(width, height, coded, 32809, bits=8, rows_per_strip=16))

    # DOS EPS: header, PostScript, then the TIFF preview at offset 1000.
    image = open(preview, "rb").read()
    postscript = b"%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 64 48\nshowpage\n%%EOF\n"
    body = postscript + b" " * (1000 - 30 - len(postscript))
    header = struct.pack("<4sIIIIIIH", b"\xc5\xd0\xd3\xc6", 30, len(postscript), 0, 0, 1000, len(image), 0xFFFF)
    open(folder + "/preview.eps", "wb").write(header + body + image)
    bad = struct.pack("<4sIIIIIIH", b"\xc5\xd0\xd3\xc6", 30, len(postscript), 0, 0, 1000, len(image) + 1, 0xFFFF)
    open(folder + "/preview_past_end.eps", "wb").write(bad + body + image)


main()
