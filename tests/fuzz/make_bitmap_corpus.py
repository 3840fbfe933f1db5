#!/usr/bin/env python3
"""Writes the seed corpus of bitmap_block_fuzz.cpp (whole BMP files) into corpus/bitmap_block."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus", "bitmap_block")


def bmp(width, height, bits, colours_used=None, info_size=40, compression=0, extra=b""):
    colours = {1: 2, 4: 16, 8: 256}.get(bits, 0) if colours_used is None else colours_used
    stride = ((width * bits + 31) // 32) * 4
    masks = 12 if compression == 3 and info_size == 40 else 0
    table = bytes((i * 3) & 0xFF for i in range(min(colours, 256) * 4))
    pixels = bytes((i * 5) & 0xFF for i in range(stride * abs(height)))
    info = struct.pack("<IiiHHIIiiII", info_size, width, height, 1, bits, compression, len(pixels), 2835, 2835,
                       colours, 0)
    info += bytes(info_size - 40)
    body = info + bytes(masks) + table + pixels + extra
    return b"BM" + struct.pack("<IHHI", 14 + len(body), 0, 0, 14 + info_size + masks + len(table)) + body


os.makedirs(OUT, exist_ok=True)
seeds = {
    "mono": bmp(9, 3, 1),
    "sixteen": bmp(5, 2, 4),
    "palette": bmp(7, 4, 8),
    "few_colours": bmp(7, 4, 8, colours_used=12),
    "rgb": bmp(6, 5, 24),
    "top_down": bmp(6, -5, 24),
    "fields": bmp(3, 3, 32, compression=3),
    "v5": bmp(4, 4, 16, info_size=124),
    "huge_colours": bmp(4, 4, 24, colours_used=0x7FFFFFFF),
}
for name, data in seeds.items():
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)
