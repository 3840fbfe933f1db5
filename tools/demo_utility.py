#!/usr/bin/python3
"""The utility in the main job (run by tools/demo.sh inside the network): the same simulated
servers as tools/demo.py, QuelboZovu.exe from dist/x64 started under Wine with the real
Pnxscapi.dll and the simulated bus driver. Once the library has asked every server for its
devices and the list shows them, the utility's question about setting up the new printer is
answered No, a device is selected and Connect pressed; when its progress dialog has closed
and the list shows the device connected, the screen is saved as a PNG and the utility is told
to exit (message 0x81F9 to its hidden window), which disconnects the device first."""

import argparse
import os
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(ROOT, "sim"))
sys.path.insert(0, os.path.join(ROOT, "tests", "guidriver"))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from demo import DEVICES, SERVERS  # noqa: E402
from simctl import BusBridge, Simulator  # noqa: E402
import utility_rig as rig  # noqa: E402


CONNECT_SERVER, CONNECT_DEVICE = "10.77.0.10", "USB Disk 3.0"
LIST, CONNECT = 1082, 1019
PROGRESS_CLOSE, PROGRESS_NO = 1104, 1032
CONNECTED = 2


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


def rows(gui, dialog):
    return [r for r in gui.must("rows", dialog["hwnd"], LIST)["list"]["rows"] if "name" in r]


def run(gui, sim, bridge, found, listed, out):
    dialog = gui.must("wait", "#32770", rig.TITLE, 60000)
    rig.wait_for(lambda: all(sim.requests(a) for a in found), timeout=60)
    rig.wait_for(lambda: set(listed) <= {r["name"] for r in rows(gui, dialog) if r["state"]}, timeout=60)
    print("Main dialog %s up; every server asked for its devices; the list shows %d devices."
          % (dialog["rect"], len(listed)))
    # A new free printer makes the utility offer to set it up (connect it until its printer is
    # installed); the demo declines, so the next batch is the plain connect below.
    question = gui("dialog", PROGRESS_CLOSE, 20000)
    if question.get("ok"):
        rig.wait_for(lambda: gui.children(question["hwnd"])[PROGRESS_NO]["enabled"], timeout=30)
        gui.must("press", question["hwnd"], PROGRESS_NO)
        gui.must("gone", question["hwnd"], 60000)
        print("The printer set-up question was answered No.")
    names = [r["name"] for r in rows(gui, dialog)]
    gui.must("selectonly", dialog["hwnd"], LIST, names.index(CONNECT_DEVICE))
    gui.must("press", dialog["hwnd"], CONNECT)
    progress = gui("dialog", PROGRESS_CLOSE, 10000)
    if progress.get("ok"):  # a quick connect may have ended before it was seen
        gui.must("gone", progress["hwnd"], 120000)
    print("Connect \"%s\" pressed: the progress dialog has closed; ports attached on the bus "
          "for %s: %s" % (CONNECT_DEVICE, CONNECT_SERVER,
                          ", ".join(sorted(l for (ip, l) in bridge.ports() if ip == CONNECT_SERVER)) or "none"))
    rig.wait_for(lambda: [r for r in rows(gui, dialog) if r["name"] == CONNECT_DEVICE][0]["state"] == CONNECTED,
                 timeout=60)
    time.sleep(1.0)  # the row's repaint
    gui.screenshot_png(out, dialog["client"])
    row = [r for r in rows(gui, dialog) if r["name"] == CONNECT_DEVICE][0]
    print("The list shows it: %s; screen saved to %s" % (" | ".join(c for c in row["cells"] if c), out))


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
    listed = [d["name"] for a in found for d in DEVICES.get(a, [])]
    bridge = BusBridge(args.wine_run, os.path.join(paths.bin, "zkuptp_bridge.exe"), "10.77.0.1")
    try:
        with Simulator(list(SERVERS), netns=os.environ["QZ_LAN_NS"], discovery=True, max_seconds=180) as sim:
            sim.set_bridge(*bridge.address)
            for address, fields in SERVERS.items():
                sim.identity(address, **fields)
                for device in DEVICES.get(address, []):
                    sim.plug(address, **device)
            print("\nStarting the utility %s -m ..." % args.utility)
            utility = rig.Utility(paths, ["-m"], exe=os.path.abspath(args.utility))
            try:
                run(gui, sim, bridge, found, listed, args.out)
                main_window = gui.must("find", rig.CLASS, rig.TITLE, 10000)
                gui.must("post", main_window["hwnd"], rig.UM_EXIT, 0, 1)
                print("Utility ended with %d (it disconnected the device first)." % utility.wait(120))
            finally:
                utility.close()
    finally:
        bridge.close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
