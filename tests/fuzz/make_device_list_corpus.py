#!/usr/bin/env python3
"""Writes the seed corpus of device_list_fuzz.cpp (see its input format) into corpus/device_list."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus", "device_list")

PLAIN, EX, EX_II = 0, 1, 2


def fixed(text, width):
    return text[:width].ljust(width, b"\0")


def entry(form, port=b"1", name=b"Disk", user=b"\0\0\0\0", flags=0x0100, vid=0x0A5C, pid=0x0001,
          location=b"1-1", cls=8, subclass=6, serial=b"SN0001"):
    data = port + b"\0" + name + b"\0" + user + struct.pack("<H", flags)
    if form != PLAIN:
        data += b"\xbe\xef"
    data += struct.pack(">HH", vid, pid) + fixed(location, 16) + struct.pack(">H", cls)
    if form == EX_II:
        data += struct.pack(">H", subclass)
    if form == EX:
        data += fixed(serial, 64)
    if form == EX_II:
        data += fixed(serial, 80)
    return data + b"\xde\xad\xbe\xef"


def seed(form, entries, setup_bits=0, count=None):
    count = len(entries) if count is None else count
    return bytes([form | setup_bits, count]) + b"".join(entries)


def main():
    os.makedirs(OUT, exist_ok=True)
    seeds = {}
    for form, label in ((PLAIN, "plain"), (EX, "ex"), (EX_II, "ex_ii")):
        one = [entry(form)]
        several = [entry(form, port=b"1", location=b"1-1", name=b"Printer  \r\n", cls=7),
                   entry(form, port=b"2", location=b"1-2", name=b"", user=b"\x0a\x4d\x00\x09"),
                   entry(form, port=b"3", location=b"1-3", name=b"Own", user=b"\x0a\x4d\x00\x02", flags=0x0174)]
        composite = [entry(form, port=b"a", location=b"1M1", name=b"Combo", cls=7, flags=0x0114),
                     entry(form, port=b"b", location=b"1M2", name=b"Combo", cls=8, flags=0x0104),
                     entry(form, port=b"c", location=b"1M3", name=b"Combo", cls=3, user=b"\x0a\x4d\x00\x09")]
        com = [entry(form, port=b"1", location=b"R1-1", name=b"Modem"), entry(form, port=b"2", location=b""),
               entry(form, port=b"3", location=b"1-3")]
        seeds[label + "_one"] = seed(form, one)
        seeds[label + "_several"] = seed(form, several, 8)
        seeds[label + "_composite"] = seed(form, composite, 4)
        seeds[label + "_com_skipped"] = seed(form, com)
        full = seed(form, several)
        seeds[label + "_truncated"] = full[:len(full) - 7]
        seeds[label + "_count_too_large"] = seed(form, one, count=9)
        seeds[label + "_full_width_fields"] = seed(form, [entry(form, location=b"L" * 16, serial=b"S" * 90)])
    seeds["empty_count"] = bytes([0, 0])
    for name, data in seeds.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
