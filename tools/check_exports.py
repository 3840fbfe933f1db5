#!/usr/bin/python3
"""Checks the export directory of a built Pnxscapi.dll against the export table header: every
name at its ordinal, nothing else, and no decorated (stdcall "@N") names.
Usage: check_exports.py OBJDUMP DLL TABLE_HEADER"""

import re
import subprocess
import sys


def main(objdump, dll, header):
    table = {name: int(num) for num, name in re.findall(r"X\((\d+), (\w+)\)", open(header).read())}
    text = subprocess.run([objdump, "-p", dll], check=True, capture_output=True, text=True).stdout
    base = int(re.search(r"Ordinal Base\s+(\d+)", text).group(1))
    section = text.split("[Ordinal/Name Pointer] Table", 1)[1]
    exported = {}
    for index, name in re.findall(r"^\s*\[\s*(\d+)\]\s+(\S+)", section, flags=re.M):
        exported[name] = int(index) + base
    problems = [n for n in exported if "@" in n or n.startswith("_")]
    problems += ["%s missing or at %s" % (n, exported.get(n)) for n, o in table.items() if exported.get(n) != o]
    problems += ["%s not in the table" % n for n in exported if n not in table]
    for p in problems:
        print(p)
    print("%d exports checked, %d problems" % (len(exported), len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
