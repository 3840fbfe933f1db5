#!/usr/bin/python3
"""Checks the export directory of a built Pnxscapi.dll against the export table header: every
name at its ordinal, nothing else, and no decorated (stdcall "@N") names. In a 32-bit build the
exports that take any arguments must leave the stack to their caller: they return with a plain
"ret", never "ret N", so that a caller passing any number of arguments stays balanced.
Usage: check_exports.py OBJDUMP DLL TABLE_HEADER"""

import re
import subprocess
import sys

# Exports whose callers may pass any arguments (the callee takes none off the stack).
CALLER_CLEANS = ["PnxSetDeviceListPacket"]


def first_return(objdump, dll, text, ordinal, base):
    """The first return instruction of the export with this ordinal, as the disassembler shows it."""
    image_base = int(re.search(r"^ImageBase\s+([0-9a-fA-F]+)", text, flags=re.M).group(1), 16)
    rva = re.search(r"\[\s*%d\] \+base\[\s*%d\]\s+([0-9a-fA-F]+) Export RVA" % (ordinal - base, ordinal), text)
    start = image_base + int(rva.group(1), 16)
    code = subprocess.run([objdump, "-d", "--start-address=%#x" % start, "--stop-address=%#x" % (start + 256), dll],
                          check=True, capture_output=True, text=True).stdout
    for line in code.splitlines():
        fields = line.split("\t")
        if len(fields) >= 3 and fields[2].split()[:1] in (["ret"], ["retl"]):
            return fields[2].strip()
    return None


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
    if "file format pei-i386" in text:
        for name in CALLER_CLEANS:
            ret = first_return(objdump, dll, text, table[name], base)
            if ret not in ("ret", "retl"):
                problems.append("%s returns with %r: it takes its arguments off the caller's stack" % (name, ret))
    for p in problems:
        print(p)
    print("%d exports checked, %d problems" % (len(exported), len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
