#!/usr/bin/env python3
"""Writes a UTF-8 INI file as UTF-16LE with a byte-order mark and CR LF line ends.

    encode_ini.py SOURCE.ini TARGET.ini
"""
import sys


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1], encoding="utf-8") as f:
        text = f.read()
    lines = text.replace("\r\n", "\n").split("\n")
    with open(argv[2], "wb") as f:
        f.write(b"\xff\xfe" + "\r\n".join(lines).encode("utf-16-le"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
