#!/usr/bin/python3
"""Wraps a raw Group 3 fax stream (netpbm's pbmtog3) in a one-strip TIFF, so the reader meets
the byte-aligned end-of-line codes of a writer other than libtiff.
wrap_g3.py in.g3 out.tif width height t4options"""
import struct
import sys

raw = open(sys.argv[1], "rb").read()
width, height, t4 = int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
entries = [(256, 3, width), (257, 3, height), (258, 3, 1), (259, 3, 3), (262, 3, 0), (273, 4, 8), (277, 3, 1),
           (278, 3, height), (279, 4, len(raw)), (292, 4, t4)]
pad = len(raw) & 1
out = b"II*\0" + struct.pack("<I", 8 + len(raw) + pad) + raw + b"\0" * pad + struct.pack("<H", len(entries))
for tag, kind, value in entries:
    out += struct.pack("<HHI", tag, kind, 1) + (struct.pack("<HH", value, 0) if kind == 3 else struct.pack("<I", value))
out += struct.pack("<I", 0)
open(sys.argv[2], "wb").write(out)
