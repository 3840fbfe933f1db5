#!/usr/bin/python3
"""Checks that the client library's includes run one way: a file includes only headers of its
own folder or of the folders before it. Headers are included by bare name through include
directories, so each name is looked up in the folder that holds it; names found in no client
folder (system, common/) are not checked. The top folder's interface comes first, then the
layers as given, and the DLL entry (dll_main.cpp) last. Prints each include that reaches up and
fails if any.
Usage: check_layers.py CLIENT_DIR LAYER...   (lowest first, as client/CMakeLists.txt lists them)"""

import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def files_of(client, layer):
    folder = os.path.join(client, layer)
    return sorted(f for f in os.listdir(folder)
                  if f.endswith((".h", ".cpp")) and os.path.isfile(os.path.join(folder, f)))


def main(client, layers):
    layers = ["."] + layers
    missing = [layer for layer in layers if not os.path.isdir(os.path.join(client, layer))]
    folders = [f for f in os.listdir(client) if os.path.isdir(os.path.join(client, f))]
    unlisted = sorted(set(folders) - set(layers))
    if missing or unlisted:
        print("layers without a folder: %s; folders not in the order: %s" % (missing, unlisted))
        return 1
    home = {}  # header name -> rank of its folder
    for rank, layer in enumerate(layers):
        for name in files_of(client, layer):
            if name.endswith(".h"):
                if name in home:
                    print("%s: header name held by two folders" % name)
                    return 1
                home[name] = rank
    faults = 0
    for rank, layer in enumerate(layers):
        for name in files_of(client, layer):
            own = len(layers) if (layer, name) == (".", "dll_main.cpp") else rank
            with open(os.path.join(client, layer, name), encoding="utf-8") as f:
                text = f.read()
            for header in INCLUDE.findall(text):
                if home.get(header, -1) > own:
                    print("%s/%s includes %s of %s/" % (layer, name, header, layers[home[header]]))
                    faults += 1
    if faults:
        print("%d includes reach a later layer (order: %s)" % (faults, ", ".join(layers)))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2:]))
