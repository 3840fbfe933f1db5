#!/usr/bin/python3
"""The utility in the main job (run by tools/demo.sh inside the network): the same simulated
servers as tools/demo.py, QuelboZovu.exe from dist/x64 started under Wine with the real
Pnxscapi.dll; once the library has asked every server for its devices, the screen is saved
as a PNG and the utility is told to exit (message 0x81F9 to its hidden window)."""

import argparse
import os
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(ROOT, "sim"))
sys.path.insert(0, os.path.join(ROOT, "tests", "guidriver"))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from demo import DEVICES, SERVERS  # noqa: E402
from simctl import Simulator  # noqa: E402
import utility_rig as rig  # noqa: E402


class Paths:
    """What utility_rig needs of a build: wine-run, the prefix's drivers folder, zkuptp.sys."""

    def __init__(self, build, wine_run):
        self.build = build
        self.bin = os.path.join(build, "bin")
        self.wine_run = wine_run
        self.prefix = os.path.join(build, "wineprefix")
        self.system_drivers = os.path.join(self.prefix, "drive_c", "windows", "system32", "drivers")

    def drive_c(self, *parts):
        return os.path.join(self.prefix, "drive_c", *parts)


def main(argv):
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--build", required=True, help="the x64 build tree (guidriver.exe, prefix)")
    parser.add_argument("--utility", required=True, help="QuelboZovu.exe beside Pnxscapi.dll")
    parser.add_argument("--out", required=True, help="the PNG to write")
    args = parser.parse_args(argv)
    paths = Paths(os.path.abspath(args.build), args.wine_run)
    # The stand-in bus driver file says 1.2.3.4; the utility wants 3.3 or later.
    rig.set_driver_version(paths, "3.3.0.0")
    rig.reset_registry(paths)
    gui = rig.Gui(paths)
    found = [a for a in SERVERS if SERVERS[a]["version"] >= "Ver 2.2"]
    with Simulator(list(SERVERS), netns=os.environ["QZ_LAN_NS"], discovery=True, max_seconds=120) as sim:
        for address, fields in SERVERS.items():
            sim.identity(address, **fields)
            for device in DEVICES.get(address, []):
                sim.plug(address, **device)
        print("\nStarting the utility %s -m ..." % args.utility)
        utility = rig.Utility(paths, ["-m"], exe=os.path.abspath(args.utility))
        try:
            dialog = gui.must("wait", "#32770", rig.TITLE, 60000)
            rig.wait_for(lambda: all(sim.requests(a) for a in found), timeout=60)
            time.sleep(1.0)
            gui.screenshot_png(args.out, dialog["client"])
            print("Main dialog %s up; every server asked for its devices; screen saved to %s"
                  % (dialog["rect"], args.out))
            main_window = gui.must("find", rig.CLASS, rig.TITLE, 10000)
            gui.must("post", main_window["hwnd"], rig.UM_EXIT, 0, 0)
            print("Utility ended with %d." % utility.wait(60))
        finally:
            utility.close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
