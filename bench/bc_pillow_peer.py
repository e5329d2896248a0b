#!/usr/bin/python3
"""Times Pillow's BCn decoder, the block decoders' peer, on the DDS files BM_DDSLoad in
bc_bench.cpp loads: 4096 x 4096 surfaces of the same random blocks. Prints output bytes
(RGBA, four a pixel) per second, to set beside that benchmark's bytes_per_second."""

import io
import random
import struct
import time

from PIL import Image

SIDE = 4096


def dds(fourcc, dxgi, block_bytes):
    header = bytearray(128)
    header[0:4] = b"DDS "
    struct.pack_into("<IIII", header, 4, 124, 0x1007, SIDE, SIDE)
    struct.pack_into("<II4s", header, 76, 32, 4, fourcc)
    struct.pack_into("<I", header, 108, 0x1000)
    extension = struct.pack("<5I", dxgi, 3, 0, 1, 0) if dxgi else b""
    rng = random.Random(42)
    blocks = rng.randbytes((SIDE // 4) ** 2 * block_bytes)
    return bytes(header) + extension + blocks


def main():
    for name, fourcc, dxgi, size in [("DXT1", b"DXT1", 0, 8), ("DXT5", b"DXT5", 0, 16), ("BC5", b"ATI2", 0, 16),
                                     ("BC7", b"DX10", 98, 16), ("BC6H", b"DX10", 95, 16)]:
        data = dds(fourcc, dxgi, size)
        best = None
        for _ in range(3):
            start = time.perf_counter()
            try:
                Image.open(io.BytesIO(data)).load()
            except Exception as error:  # an older Pillow without this format
                print(f"{name}: {error}")
                break
            elapsed = time.perf_counter() - start
            best = elapsed if best is None else min(best, elapsed)
        if best:
            print(f"{name}: {best * 1000:.1f} ms, {SIDE * SIDE * 4 / best / 2**30:.2f} GiB/s")


if __name__ == "__main__":
    main()
