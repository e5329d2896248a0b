#!/usr/bin/python3
"""Writes the KTX and KTX2 fixtures of the reader tests.

Most files put the pixels of the DDS fixtures (../dds, made by its make_fixtures.py) into the
Khronos containers, so their references are the DDS ones: the two readers must agree to the
byte. The others carry references computed here from the values written. zstd levels are
packed by Debian's zstd program, zlib ones by Python's zlib.
"""

import os
import struct
import subprocess
import sys
import zlib

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
KTX1 = bytes([0xAB, 0x4B, 0x54, 0x58, 0x20, 0x31, 0x31, 0xBB, 0x0D, 0x0A, 0x1A, 0x0A])
KTX2 = bytes([0xAB, 0x4B, 0x54, 0x58, 0x20, 0x32, 0x30, 0xBB, 0x0D, 0x0A, 0x1A, 0x0A])


def path(name):
    return os.path.join(HERE, name)


def write(name, data):
    with open(path(name), "wb") as f:
        f.write(data)


def dds_pixels(name):
    with open(os.path.join(HERE, "..", "dds", name), "rb") as f:
        data = f.read()
    return data[148:] if data[84:88] == b"DX10" else data[128:]


def pad4(data):
    return data + b"\0" * (-len(data) % 4)


def key_values(pairs, order):
    out = b""
    for key, value in pairs:
        entry = key.encode() + b"\0" + value
        out += pad4(struct.pack(order + "I", len(entry)) + entry)
    return out


def ktx1(gl, width, height, levels, faces=1, layers=0, depth=0, kv=(), big=False, type_size=1):
    """levels: a list of each level's image bytes (one face's for a cube map that is not an array)."""
    gl_type, gl_format, internal, base = gl
    order = ">" if big else "<"
    kvd = key_values(kv, order)
    out = KTX1 + struct.pack(order + "13I", 0x04030201, gl_type, type_size, gl_format, internal, base, width, height,
                             depth, layers, faces, len(levels), len(kvd)) + kvd
    for level in levels:
        if faces == 6 and layers == 0:
            face = len(level) // 6
            out += struct.pack(order + "I", face) + b"".join(pad4(level[f * face:(f + 1) * face]) for f in range(6))
        else:
            out += struct.pack(order + "I", len(level)) + pad4(level)
    return out


def dfd(model, transfer):
    # One basic block with one sample; the readers look at the model and the transfer only.
    block = struct.pack("<IHH4B4B8B", 0, 2, 40, model, 1, transfer, 0, 3, 3, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0)
    block += b"\0" * 16
    return struct.pack("<I", 4 + len(block)) + block


def zstd(data):
    return subprocess.run(["zstd", "-q", "-19", "-c"], input=data, stdout=subprocess.PIPE, check=True).stdout


def ktx2(vk, width, height, levels, faces=1, layers=0, depth=0, scheme=0, model=1, transfer=1, kv=(), type_size=1):
    """levels: each level's bytes, largest first, as they inflate."""
    packed = [zstd(l) if scheme == 2 else zlib.compress(l, 9) if scheme == 3 else l for l in levels]
    d = dfd(model, transfer)
    kvd = key_values(kv, "<")
    index_end = 80 + 24 * len(levels)
    at = index_end + len(d) + len(kvd)
    at += -at % 16
    # The smallest level first in the file, as the format asks.
    offsets = [0] * len(levels)
    body = b""
    for n in reversed(range(len(levels))):
        body += b"\0" * (-(at + len(body)) % 16)
        offsets[n] = at + len(body)
        body += packed[n]
    header = KTX2 + struct.pack("<9I", vk, type_size, width, height, depth, layers, faces, len(levels), scheme)
    header += struct.pack("<4I2Q", index_end, len(d), index_end + len(d) if kvd else 0, len(kvd), 0, 0)
    index = b"".join(struct.pack("<3Q", offsets[n], len(packed[n]), len(levels[n])) for n in range(len(levels)))
    out = header + index + d + kvd
    return out + b"\0" * (at - len(out)) + body


def save_png(name, width, height, pixels):
    Image.frombytes("RGBA", (width, height), bytes(v for p in pixels for v in p)).save(path(name), optimize=True)


# OpenGL's numbers: type, format, internal format, base internal format.
GL_BC7 = (0, 0, 0x8E8C, 0x1908)
GL_BC1 = (0, 0, 0x83F1, 0x1908)
GL_BC6H_UF = (0, 0, 0x8E8F, 0x1907)
GL_RGBA16F = (0x140B, 0x1908, 0x881A, 0x1908)
GL_RGB8 = (0x1401, 0x1907, 0x8051, 0x1907)
GL_BGRA8 = (0x1401, 0x80E1, 0x1908, 0x1908)  # the unsized internal format older writers give
GL_ETC2 = (0, 0, 0x9274, 0x1907)
GL_ASTC_6x6_SRGB = (0, 0, 0x93D4, 0x1908)


def cube_levels():
    """cube.dds's faces (B, G, R, A, two levels each) regrouped level by level."""
    data = dds_pixels("cube.dds")
    face_bytes = 4 * 4 * 4 + 2 * 2 * 4
    faces = [data[f * face_bytes:(f + 1) * face_bytes] for f in range(6)]
    return [b"".join(f[:64] for f in faces), b"".join(f[64:] for f in faces)]


def main():
    orientation = [("KTXorientation", b"S=r,T=d\0"), ("KTXwriter", b"vumo fixtures\0")]

    # KTX: BC7 with key/value data, and the same in big-endian order.
    bc7 = dds_pixels("bc7.dds")
    write("bc7.ktx", ktx1(GL_BC7, 8, 4, [bc7], kv=orientation))
    write("bc7_big_endian.ktx", ktx1(GL_BC7, 8, 4, [bc7], kv=orientation, big=True))
    # Half floats, big-endian: every value's two bytes swapped.
    half = dds_pixels("rgba16f.dds")
    swapped = b"".join(half[i:i + 2][::-1] for i in range(0, len(half), 2))
    write("rgba16f_big_endian.ktx", ktx1(GL_RGBA16F, 3, 2, [swapped], big=True, type_size=2))
    write("bc6h.ktx", ktx1(GL_BC6H_UF, 4, 4, [dds_pixels("bc6h.dds")]))
    # RGB8 3 x 2: rows of 9 bytes padded to 12.
    rgb = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (10, 20, 30), (128, 128, 128), (250, 200, 150)]
    rows = [b"".join(bytes(p) for p in rgb[y * 3:(y + 1) * 3]) + b"\0\0\0" for y in range(2)]
    write("rgb8_rows.ktx", ktx1(GL_RGB8, 3, 2, [b"".join(rows)]))
    save_png("rgb8_rows.png", 3, 2, [p + (255,) for p in rgb])
    # A cube map of two levels, unsized BGRA, each face padded on its own.
    write("cube_bgra.ktx", ktx1(GL_BGRA8, 4, 4, cube_levels(), faces=6))
    # Three BC1 layers of 8 x 8.
    write("array_bc1.ktx", ktx1(GL_BC1, 8, 8, [dds_pixels("array_bc1.dds")], layers=3))
    # Three levels declared, the first alone present.
    blue = struct.pack("<HHI", 0x001F, 0x001F, 0)
    data = bytearray(ktx1(GL_BC1, 4, 4, [blue]))
    data[56:60] = struct.pack("<I", 3)
    write("levels_cut.ktx", bytes(data))
    # Refused: formats whose decoders are still to come.
    write("etc2.ktx", ktx1(GL_ETC2, 4, 4, [b"\0" * 8]))
    write("astc_6x6_srgb.ktx", ktx1(GL_ASTC_6x6_SRGB, 6, 6, [b"\0" * 16]))
    save_png("astc_6x6_srgb.png", 6, 6, [(255, 0, 255, 255)] * 36)  # a reserved block: the error colour

    # KTX2: BC7 plain and with a descriptor saying sRGB; BC6H through zstd; RGBA8 through zlib.
    write("bc7.ktx2", ktx2(145, 8, 4, [bc7], model=134, kv=[("KTXwriter", b"vumo fixtures\0")]))
    write("bc7_srgb_transfer.ktx2", ktx2(145, 8, 4, [bc7], model=134, transfer=2))
    write("bc6h_zstd.ktx2", ktx2(143, 4, 4, [dds_pixels("bc6h.dds")], scheme=2, model=133))
    write("r8g8b8a8_zlib.ktx2", ktx2(37, 2, 2, [dds_pixels("r8g8b8a8.dds")], scheme=3))
    # The volume of volume_l8.dds: 4 x 4 x 4 with two smaller levels, each level's slices together.
    volume = dds_pixels("volume_l8.dds")
    write("volume_r8.ktx2", ktx2(9, 4, 4, [volume[:64], volume[64:72], volume[72:]], depth=4))
    write("cube_bgra_zstd.ktx2", ktx2(44, 4, 4, cube_levels(), faces=6, scheme=2))
    write("array_bc1.ktx2", ktx2(133, 8, 8, [dds_pixels("array_bc1.dds")], layers=3, model=128))
    # 65536 layers of one grey pixel each, the last one white, from a few packed bytes.
    write("layers_zstd.ktx2", ktx2(9, 1, 1, [b"\x40" * 65535 + b"\xff"], layers=65536, scheme=2))
    save_png("layers_zstd.png", 1, 1, [(0x40, 0x40, 0x40, 255)])
    # Refused: universal payloads, ASTC, and a level cut short.
    write("uastc.ktx2", ktx2(0, 4, 4, [b"\0" * 16], model=166))
    write("basislz.ktx2", ktx2(0, 4, 4, [b"\0" * 16], scheme=1, model=163))
    write("astc_8x8.ktx2", ktx2(171, 8, 8, [b"\0" * 16], model=162))
    save_png("astc_8x8.png", 8, 8, [(255, 0, 255, 255)] * 64)
    write("level_cut.ktx2", ktx2(145, 8, 4, [bc7])[:-8])


if __name__ == "__main__":
    sys.exit(main())
