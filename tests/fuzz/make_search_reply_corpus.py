#!/usr/bin/env python3
"""Writes the seed corpus of search_reply_fuzz.cpp (raw search replies) into corpus/search_reply."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus", "search_reply")


def put(buf, offset, data):
    buf[offset:offset + len(data)] = data


def reply(version=b"Ver 2.4.0", rule=0x9506, length=244, model=b"QZ-100", host=b"host-a",
          flags=0, function=0, kind=None, firmware=b"", extra=b""):
    buf = bytearray(max(length, 244))
    put(buf, 0, struct.pack(">HH", 2, rule))
    put(buf, 36, model[:16])
    put(buf, 56, bytes([0x00, 0x11, 0x22, 0x33, 0x44, 0x55]))
    put(buf, 64, struct.pack(">H", flags))
    put(buf, 66, bytes([10, 77, 0, 10]))
    put(buf, 72, version[:10])
    put(buf, 82, struct.pack("<H", function))
    put(buf, 116, host[:16])
    if kind is not None:
        put(buf, 132, bytes([0, kind]))
    put(buf, 164, firmware[:16])
    put(buf, 180, extra[:64])
    return bytes(buf[:length])


SEEDS = {
    "kind2_v24": reply(firmware=b"1.02.0003", extra=bytes(range(64))),
    "kind2_v32_storage": reply(version=b"Ver 3.2.0", model=b"QZ-STORAGE12345\x01"),
    "kind1_seven": reply(version=b"Ver 2.3.5", kind=1, extra=b""),
    "kind0_raw_rule": reply(rule=0x434D, length=300),
    "kind0_raw_short": reply(rule=0x434D, length=170),
    "no_ver_prefix": reply(version=b"2.4.0"),
    "two_fields": reply(version=b"Ver 2.4"),
    "hex_fields": reply(version=b"Ver 2.0A.1f"),
    "refused_21": reply(version=b"Ver 2.1.0"),
    "model_table": reply(model=b"Braidmesh", function=0x80 | 0x10 | 0x2, flags=0x300),
    "long_texts": reply(model=b"M" * 16, host=b"H" * 16, version=b"Ver 2.4.0123"),
    "short_76": reply(length=76),
    "short_3": reply(length=3),
    "max_512": reply(length=512, firmware=b"F" * 16),
}

os.makedirs(OUT, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)
