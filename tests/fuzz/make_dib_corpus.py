#!/usr/bin/env python3
"""Writes the seed corpus of the bitmap parser: small valid files of every accepted kind."""
import os
import struct
import sys


def bmp(width, height, bits, colours=0, compression=0, masks=b"", header=40):
    stride = ((width * bits + 31) // 32) * 4
    pixels = bytes((i * 37) & 255 for i in range(stride * abs(height)))
    table = b"".join(struct.pack("<BBBB", i * 40 & 255, i * 90 & 255, i * 20 & 255, 0) for i in range(colours))
    info = struct.pack("<IiiHHIIiiII", header, width, height, 1, bits, compression, len(pixels), 0, 0,
                       colours, 0)
    info += b"\0" * (header - 40)
    off = 14 + len(info) + len(masks) + len(table)
    body = info + masks + table + pixels
    return struct.pack("<2sIHHI", b"BM", 14 + len(body), 0, 0, off) + body


def main(outdir):
    os.makedirs(outdir, exist_ok=True)
    seeds = {
        "8bit_6x3.bmp": bmp(6, 3, 8, colours=4),
        "4bit_5x2.bmp": bmp(5, 2, 4, colours=16),
        "1bit_9x2.bmp": bmp(9, 2, 1, colours=2),
        "24bit_topdown.bmp": bmp(3, -2, 24),
        "32bit_fields.bmp": bmp(2, 2, 32, compression=3, masks=struct.pack("<III", 0xFF0000, 0xFF00, 0xFF)),
        "16bit_v5.bmp": bmp(3, 2, 16, header=124),
    }
    for name, data in seeds.items():
        with open(os.path.join(outdir, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus", "dib_parse"))
