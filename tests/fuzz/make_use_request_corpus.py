#!/usr/bin/env python3
"""Writes the seed corpus of use_request_fuzz.cpp (request-use datagrams) into corpus/use_request."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus", "use_request")


def datagram(command, device=b"Printer", locations=b"H1-2", pc=b"pc-a", seconds=0, length=None):
    body = struct.pack(">H", command) + bytes([0, 0x11, 0x22, 0x33, 0x44, 0x55]) + struct.pack(">HH", 0x4B8, 5)
    body += device + b"\0" + locations + b"\0" + pc + b"\0" + struct.pack(">I", seconds)
    total = 2 + len(body)
    return struct.pack(">H", total if length is None else length) + body


SEEDS = {
    "request": datagram(1),
    "cancel": datagram(2),
    "countdown": datagram(9, seconds=120),
    "time": datagram(11, seconds=69),
    "time_query": datagram(10),
    "long": datagram(1, device=b"D" * 300, locations=b"L" * 1023, pc=b"P" * 1023),
    "length_above": datagram(1, length=200),
    "unterminated": datagram(1)[:30],
}

os.makedirs(OUT, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)
