#!/usr/bin/env python3
"""Writes the PNG and Paint Shop Pro samples of data/samples: seamless textures of our own.

    tools/make_png_psp_samples.py [SAMPLES_DIR] [--seeds FUZZ_CORPUS_DIR]

With --seeds it also writes small PNG and PSP seeds for the fuzz targets (png_fuzz, psp_fuzz).
Only the standard library is used: zlib for deflate, struct for the headers.
"""
import math
import os
import struct
import sys
import zlib


def texture(size, phase):
    """A tileable pattern: every wave has a whole number of periods across the tile."""
    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            u, v = 2 * math.pi * x / size, 2 * math.pi * y / size
            weave = math.sin(4 * u + phase) * math.cos(4 * v) + 0.5 * math.sin(2 * (u + v) + phase)
            ripple = math.cos(8 * u - 6 * v)
            r = int(128 + 70 * weave + 20 * ripple)
            g = int(110 + 60 * weave - 25 * ripple)
            b = int(90 + 40 * math.cos(2 * u - 4 * v + phase) + 30 * ripple)
            row.append(tuple(max(0, min(255, c)) for c in (r, g, b)))
        pixels.append(row)
    return pixels


# PNG ---------------------------------------------------------------------------------------

def png_chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF)


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else (b if pb <= pc else c)


def filtered(row, prior, bpp, kind):
    out = bytearray([kind])
    for i, x in enumerate(row):
        a = row[i - bpp] if i >= bpp else 0
        b = prior[i]
        c = prior[i - bpp] if i >= bpp else 0
        pred = [0, a, b, (a + b) // 2, paeth(a, b, c)][kind]
        out.append((x - pred) & 0xFF)
    return out


def write_png(path, pixels, alpha=None):
    """RGB (or RGBA with `alpha`), each row with the filter that sums smallest, as encoders do."""
    size = len(pixels)
    bpp = 4 if alpha else 3
    raw = bytearray()
    prior = bytes(size * bpp)
    for y, row in enumerate(pixels):
        line = bytearray()
        for x, p in enumerate(row):
            line += bytes(p)
            if alpha:
                line.append(alpha(x, y))
        candidates = [filtered(line, prior, bpp, k) for k in range(5)]
        raw += min(candidates, key=lambda f: sum(v if v < 128 else 256 - v for v in f[1:]))
        prior = line
    ihdr = struct.pack('>IIBBBBB', size, size, 8, 6 if alpha else 2, 0, 0, 0)
    data = b'\x89PNG\r\n\x1a\n' + png_chunk(b'IHDR', ihdr) + png_chunk(b'gAMA', struct.pack('>I', 45455))
    packed = zlib.compress(bytes(raw), 9)
    for i in range(0, len(packed), 8192):  # IDAT in 8 KB pieces, as most writers split it
        data += png_chunk(b'IDAT', packed[i:i + 8192])
    data += png_chunk(b'IEND', b'')
    with open(path, 'wb') as f:
        f.write(data)


# Paint Shop Pro -----------------------------------------------------------------------------

class PspWriter:
    def __init__(self, version=5):
        self.version = version

    def block(self, kind, content):
        head = b'~BK\0' + struct.pack('<H', kind)
        if self.version == 3:
            head += struct.pack('<I', 0)
        return head + struct.pack('<I', len(content)) + content

    def chunk(self, content):
        return content if self.version == 3 else struct.pack('<I', len(content) + 4) + content

    def header(self, width, height, depth, compression, grey=False):
        attributes = struct.pack('<IIdBHHHIB', width, height, 72.0, 1, compression, depth, 1,
                                 1 << min(depth, 24), 1 if grey else 0).ljust(42, b'\0')
        signature = b'Paint Shop Pro Image File\n\x1a'.ljust(32, b'\0')
        return signature + struct.pack('<HH', self.version, 0) + self.block(0, self.chunk(attributes))

    def palette(self, colours):
        content = struct.pack('<I', len(colours)) + b''.join(bytes((b, g, r, 0)) for r, g, b in colours)
        return self.block(2, self.chunk(content))

    @staticmethod
    def rle(plane):
        out = bytearray()
        i = 0
        while i < len(plane):
            run = 1
            while i + run < len(plane) and run < 127 and plane[i + run] == plane[i]:
                run += 1
            if run >= 3:
                out += bytes((128 + run, plane[i]))
                i += run
            else:
                n = 0
                while i + n < len(plane) and n < 127 and not (
                        i + n + 2 < len(plane) and plane[i + n] == plane[i + n + 1] == plane[i + n + 2]):
                    n += 1
                out.append(n)
                out += plane[i:i + n]
                i += n
        return bytes(out)

    def channel(self, kind, plane, compression):
        data = plane if compression == 0 else self.rle(plane) if compression == 1 else zlib.compress(plane, 9)
        fields = struct.pack('<IIHH', len(data), len(plane), 1, kind)
        return self.block(5, self.chunk(fields) + data)

    def layer(self, width, height, channels):
        rect = struct.pack('<4I', 0, 0, width, height)
        if self.version == 3:
            info = b'Background'.ljust(256, b'\0') + (b'\0' + rect + rect).ljust(115, b'\0')
            info += struct.pack('<HH', 1, len(channels))
        else:
            info = self.chunk((struct.pack('<H', 10) + b'Background' + b'\1' + rect + rect).ljust(80, b'\0'))
            info += self.chunk(struct.pack('<HH', 1, len(channels)))
        return self.block(4, info + b''.join(channels))


def write_psp(path, pixels, version=5, compression=1, alpha=None):
    size = len(pixels)
    w = PspWriter(version)
    planes = [bytes(p[k] for row in pixels for p in row) for k in range(3)]
    channels = [w.channel(k + 1, planes[k], compression) for k in range(3)]
    if alpha:
        channels.append(w.channel(0, bytes(alpha(x, y) for y in range(size) for x in range(size)), compression))
    data = w.header(size, size, 24, compression)
    data += w.block(1, w.chunk(b'Vumo sample generator'))  # a creator block, skipped by readers
    data += w.block(3, w.layer(size, size, channels))
    with open(path, 'wb') as f:
        f.write(data)


def main():
    args = sys.argv[1:]
    seeds = None
    if '--seeds' in args:
        at = args.index('--seeds')
        seeds = args[at + 1]
        del args[at:at + 2]
    samples = args[0] if args else os.path.join(os.path.dirname(__file__), '..', 'data', 'samples')
    write_png(os.path.join(samples, 'woven.png'), texture(128, 0.0))
    write_psp(os.path.join(samples, 'woven_tiles.psp'), texture(128, 1.3))
    if seeds:
        small = texture(8, 0.5)
        hole = lambda x, y: 0 if (x + y) % 3 == 0 else 255
        os.makedirs(os.path.join(seeds, 'psp_fuzz'), exist_ok=True)
        for version in (3, 5, 6):
            for compression in (0, 1, 2):
                write_psp(os.path.join(seeds, 'psp_fuzz', f'rgb_v{version}_c{compression}.psp'), small, version,
                          compression, hole if compression == 2 else None)
        w = PspWriter(5)
        indexed = w.header(8, 8, 8, 1) + w.palette([(i * 30, 255 - i * 30, 40) for i in range(8)])
        indexed += w.block(3, w.layer(8, 8, [w.channel(0, bytes(i % 8 for i in range(64)), 1)]))
        with open(os.path.join(seeds, 'psp_fuzz', 'palette_v5_rle.psp'), 'wb') as f:
            f.write(indexed)
        os.makedirs(os.path.join(seeds, 'png_fuzz'), exist_ok=True)
        write_png(os.path.join(seeds, 'png_fuzz', 'rgba_filters.png'), small, hole)


if __name__ == '__main__':
    main()
