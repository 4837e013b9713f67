#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Velkora32 developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Turns the program's 24-bit BMP icon into the PNG icons the desktop uses.

    bmp2png.py icon.bmp out.png [scale]

Each pixel becomes a scale x scale block, so the small pixel-art icon stays
sharp at the larger sizes of the icon theme. The icon fills its square, so
the PNG is opaque. Standard library only.
"""
import struct
import sys
import zlib


def read_bmp(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"BM":
        sys.exit(f"{path}: not a BMP file")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, _planes, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    if bits != 24 or compression != 0:
        sys.exit(f"{path}: only uncompressed 24-bit BMP is handled, not {bits}-bit")
    stride = (width * 3 + 3) & ~3
    bottom_up = height > 0
    height = abs(height)
    rows = []
    for y in range(height):
        src = height - 1 - y if bottom_up else y
        start = offset + src * stride
        row = []
        for x in range(width):
            b, g, r = data[start + 3 * x:start + 3 * x + 3]
            row.append((r, g, b))
        rows.append(row)
    return width, height, rows


def write_png(path, width, height, rows, scale):
    raw = bytearray()
    for row in rows:
        line = bytearray()
        for pixel in row:
            line += bytes(pixel) * scale
        for _ in range(scale):
            raw += b"\x00" + line

    def chunk(kind, body):
        crc = zlib.crc32(kind + body) & 0xFFFFFFFF
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", crc)

    header = struct.pack(">IIBBBBB", width * scale, height * scale, 8, 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", header))
        f.write(chunk(b"IDAT", zlib.compress(bytes(raw), 9)))
        f.write(chunk(b"IEND", b""))


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    scale = int(sys.argv[3]) if len(sys.argv) == 4 else 1
    if scale < 1:
        sys.exit("scale must be 1 or more")
    width, height, rows = read_bmp(sys.argv[1])
    write_png(sys.argv[2], width, height, rows, scale)


if __name__ == "__main__":
    main()
