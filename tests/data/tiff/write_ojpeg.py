#!/usr/bin/env python3
"""Wraps a baseline JPEG file in a TIFF the way old-style JPEG writers did: compression 6,
JPEGInterchangeFormat and its length pointing to the whole JPEG stream, which is also the
one strip. Usage: write_ojpeg.py in.jpg out.tif"""
import struct
import sys

jpeg = open(sys.argv[1], "rb").read()
# The frame header (SOF0) gives the size and the components.
pos = 2
while True:
    marker, length = jpeg[pos + 1], struct.unpack(">H", jpeg[pos + 2:pos + 4])[0]
    if marker == 0xC0:
        height, width = struct.unpack(">HH", jpeg[pos + 5:pos + 9])
        components = jpeg[pos + 9]
        break
    pos += 2 + length
grey = components == 1
entries = [(256, 3, 1, width), (257, 3, 1, height), (258, 3, components, None if not grey else 8),
           (259, 3, 1, 6), (262, 3, 1, 1 if grey else 6), (273, 4, 1, 8), (277, 3, 1, components),
           (278, 3, 1, height), (279, 4, 1, len(jpeg)), (513, 4, 1, 8), (514, 4, 1, len(jpeg))]
ifd = 8 + len(jpeg) + (len(jpeg) & 1)
extra = ifd + 2 + 12 * len(entries) + 4
body = bytearray(b"II*\0" + struct.pack("<I", ifd) + jpeg + b"\0" * (len(jpeg) & 1))
body += struct.pack("<H", len(entries))
for tag, typ, count, value in entries:
    if value is None:
        body += struct.pack("<HHII", tag, typ, count, extra)
    elif typ == 3:
        body += struct.pack("<HHIHH", tag, typ, count, value, 0)
    else:
        body += struct.pack("<HHII", tag, typ, count, value)
body += struct.pack("<I", 0)
if not grey:
    body += struct.pack("<3H", 8, 8, 8)
open(sys.argv[2], "wb").write(body)
