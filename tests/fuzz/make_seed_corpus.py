#!/usr/bin/env python3
"""Writes the seed corpus of rwp_reply_fuzz.cpp (see its input format) into corpus/rwp_reply."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus", "rwp_reply")


def reply(kind, more, offset, data, length=None):
    length = len(data) if length is None else length
    return struct.pack(">HHHH", kind, more, offset, length) + data


def seed(setup, *datagrams):
    return bytes([setup]) + b"".join(struct.pack(">H", len(d)) + d for d in datagrams)


body = bytes((65 + (i * 7) % 26) for i in range(1300))
first = reply(1, 1, 0, body[:512])
middle = reply(2, 1, 512, body[512:1024])
last = reply(2, 0, 1024, body[1024:])
end = reply(3, 0, 1300, b"")

SEEDS = {
    "first_fragment": seed(0, first),
    "middle_fragment": seed(0, first, middle),
    "last_fragment": seed(0, first, middle, last),
    "end_reply": seed(0, first, middle, last, end),
    "end_reply_with_data": seed(0, reply(1, 0, 0, b"OK"), reply(3, 0, 2, b"deny")),
    "eight_byte_reply": seed(0, reply(1, 0, 0, b""), reply(3, 0, 0, b"")),
    "bad_type": seed(0, reply(2, 1, 0, body[:512])),
    "bad_length": seed(0, reply(1, 0, 0, b"0123456789", 600)),
    "bad_more": seed(0, reply(1, 7, 0, b"abc")),
    "gap_and_duplicate": seed(0, first, reply(2, 1, 1024, b"gap"), first, middle, middle),
    "overflow_small_buffer": seed(6, reply(1, 1, 0, b"12345678"), reply(2, 0, 8, b"9")),
    "no_reply_buffer": seed(1, first, middle, last, reply(3, 0, 1300, b"tail")),
    "short_datagram": seed(0, b"\x00\x01\x00"),
}

os.makedirs(OUT, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)
