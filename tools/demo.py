#!/usr/bin/python3
"""The first real job of the suite, shown end to end (run by tools/demo.sh inside the network).

A simulator plays a few device servers on the LAN side; harness.exe loads Pnxscapi.dll under
Wine on the PC side, registers a window and starts the service, exactly as the utility does;
the servers that the library finds are printed as a table, then each server's USB devices
with their state.
"""

import argparse
import json
import os
import queue
import subprocess
import sys
import threading
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(ROOT, "sim"))

from simctl import BusBridge, Simulator  # noqa: E402

# What each simulated server says about itself when it hears a search.
SERVERS = {
    "10.77.0.10": dict(model="QZ-5400", host="OFFICE-1F", version="Ver 2.4.0",
                       firmware="2.4.0-77", mac="02:51:5a:00:10:0a"),
    "10.77.0.11": dict(model="QZ-5400W", host="LAB-PRINTERS", version="Ver 2.3.5",
                       mac="02:51:5a:00:10:0b"),
    "10.77.0.12": dict(model="QZ-9000S", host="STORAGE-2F", version="Ver 3.2.0",
                       firmware="3.2.0-12", storage=True, mac="02:51:5a:00:10:0c"),
    "10.77.0.13": dict(model="QZ-1000", host="OLD-BOX", version="Ver 2.1.0",
                       mac="02:51:5a:00:10:0d"),
}
WAIT_SECONDS = 3.0
DEVICE_WAIT_SECONDS = 10.0

# The USB devices plugged into each server (sim/usb_devices.py fields).
OTHER_PC = "10.77.0.61"
DEVICES = {
    "10.77.0.10": [
        dict(name="USB Disk 3.0", vid=0x0781, pid=0x5583, location="1-1", serial="4C530001"),
        dict(name="Label Printer", port="2", vid=0x04F9, pid=0x2042, location="1-2",
             interfaces=[[7, 1]]),
        dict(name="HD Webcam", port="3", vid=0x046D, pid=0x0825, location="1-3",
             interfaces=[[14, 1], [14, 2], [1, 1]], user=OTHER_PC, user_name="LAB-PC"),
    ],
    "10.77.0.11": [
        dict(name="Flatbed Scanner", vid=0x04B8, pid=0x0142, location="1-1", interfaces=[[6, 1]]),
        dict(name="Combo Keyboard", port="2", vid=0x046D, pid=0xC52B, location="1-2",
             interfaces=[[3, 1], [3, 2]]),
    ],
    "10.77.0.12": [
        dict(name="Backup Drive", vid=0x1058, pid=0x25A2, location="2-1", serial="WX11A"),
    ],
}
CONNECT_SERVER, CONNECT_DEVICE = "10.77.0.10", "Label Printer"
PHASES = {1: "Start", 2: "Permit", 3: "Result", 4: "End"}
RESULTS = {0: "success", 1: "server not found", 2: "device not found", 3: "device check failed",
           4: "already used by this PC", 5: "forced disconnect failed", 6: "failed",
           9: "the server denied"}
STATES = {0: "getting status", 1: "free", 2: "connected to this PC", 3: "in use by %s",
          4: "no device", 5: "error"}


class Harness:
    """harness.exe under Wine, one JSON line per result or notification."""

    def __init__(self, wine_run, harness, library):
        self.proc = subprocess.Popen([wine_run, harness, library], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                     cwd=os.path.dirname(harness))
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()
        ready = self.wait(lambda line: line.get("type") in ("ready", "error"), 120)
        if ready.get("type") != "ready":
            raise SystemExit("harness.exe did not start: %r" % ready)

    def _read(self):
        for raw in self.proc.stdout:
            try:
                self.lines.put((time.monotonic(), json.loads(raw)))
            except ValueError:
                pass
        self.lines.put((time.monotonic(), None))

    def wait(self, predicate, timeout, seen=None):
        deadline = time.monotonic() + timeout
        while True:
            try:
                at, line = self.lines.get(timeout=max(0.0, deadline - time.monotonic()))
            except queue.Empty:
                return {}
            if line is None:
                raise SystemExit("harness.exe ended early")
            if seen is not None:
                seen.append((at, line))
            if predicate(line):
                return line

    def command(self, text, seen=None):
        self.proc.stdin.write((text + "\n").encode())
        self.proc.stdin.flush()
        name = text.split()[0]
        return self.wait(lambda l: l.get("type") == "result" and l.get("cmd") == name, 60, seen)

    def quit(self):
        try:
            self.command("quit")
            self.proc.stdin.close()
            self.proc.wait(timeout=30)
        except (OSError, subprocess.TimeoutExpired):
            self.proc.kill()


def print_table(servers):
    header = ("IP address", "Hardware address", "Host name", "Model", "Firmware", "Protocol")
    rows = [(s["ip"], s["mac"], s["host"], s["model"], s["firmware"] or "-",
             "level %d" % s["level"]) for s in servers]
    widths = [max(len(r[i]) for r in rows + [header]) for i in range(len(header))]
    for row in [header] + rows:
        print("  " + "  ".join(text.ljust(width) for text, width in zip(row, widths)).rstrip())


def device_state(device):
    state = STATES.get(device["status"], "status %d" % device["status"])
    return state % (device["pc_name"] or device["user"]) if "%s" in state else state


def print_devices(harness, servers):
    print("\nUSB devices of each server (PnxEnumUsbDevices + PnxGetUsbDeviceInfo):")
    header = ("Device", "VID:PID", "Interfaces", "Ports", "State")
    for server in servers:
        devices = harness.command("devices %s" % server["handle"]).get("devices", [])
        print("  %s (%s): %d device(s)" % (server["ip"], server["host"], len(devices)))
        rows = [(d["name"], "%04X:%04X" % (d["vid"], d["pid"]), str(d["interfaces"]), d["ports"],
                 device_state(d)) for d in devices]
        if not rows:
            continue
        widths = [max(len(r[i]) for r in rows + [header]) for i in range(len(header))]
        for row in [header] + rows:
            print("      " + "  ".join(t.ljust(w) for t, w in zip(row, widths)).rstrip())


def run_request(harness, text, seen):
    """Queues a connect or disconnect and prints its phases as they arrive, with the time since
    the request was queued; returns the milliseconds to the End phase."""
    mark = len(seen)
    started = time.monotonic()
    harness.command(text, seen)
    harness.wait(lambda line: line.get("msg") == "PNXN_COMPLETE", 120, seen)
    end_ms = 0
    for at, line in seen[mark:]:
        if line.get("msg") in ("PNXN_CONNECT", "PNXN_DISCONNECT"):
            ms = 1000 * (at - started)
            detail = " (%s)" % RESULTS.get(line["result"], line["result"]) if line["phase"] == 3 else ""
            print("    %7.0f ms  %s %s%s" % (ms, line["msg"], PHASES[line["phase"]], detail))
            if line["phase"] == 4:
                end_ms = ms
        elif line.get("msg") == "PNXN_COMPLETE":
            print("    %7.0f ms  PNXN_COMPLETE" % (1000 * (at - started)))
    return end_ms


def show_bus(bridge, server, location):
    ports = sorted(loc for (ip, loc) in bridge.ports() if ip == server)
    print("    ports attached on the simulated bus for %s: %s" % (server, ", ".join(ports) or "none"))
    if ports:
        for node, service, port in bridge.tree(server, location):
            print("      device node %-52s service %-9s %s" % (node, service, "" if port == "-" else "port " + port))


def connect_road(harness, bridge, servers, seen):
    handle = next(s["handle"] for s in servers if s["ip"] == CONNECT_SERVER)
    devices = harness.command("devices %s" % handle).get("devices", [])
    device = next(d for d in devices if d["name"] == CONNECT_DEVICE)
    print("\nConnect \"%s\" of %s (PnxConnectUsbDevice, wait mode 1, by button):"
          % (CONNECT_DEVICE, CONNECT_SERVER))
    run_request(harness, "connect %s wait=1 action=1" % device["device"], seen)
    show_bus(bridge, CONNECT_SERVER, device["locations"])
    ids = harness.command("instanceids %s" % device["device"]).get("ids", [])
    print("    Plug and Play ids the library stored: %s" % (", ".join(ids) or "none"))
    harness.command("renewdevices %s mode=2" % handle)
    info = harness.command("deviceinfo %s" % device["device"]).get("info", {})
    print("    state: %s" % device_state(info))
    print("\nDisconnect it again (PnxDisconnectUsbDevice; the window answers the Permit phase):")
    run_request(harness, "disconnect %s action=1" % device["device"], seen)
    show_bus(bridge, CONNECT_SERVER, device["locations"])
    harness.command("renewdevices %s mode=2" % handle)
    info = harness.command("deviceinfo %s" % device["device"]).get("info", {})
    print("    state: %s" % device_state(info))


def main(argv):
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--harness", required=True)
    parser.add_argument("--library", required=True, help="the Windows path of Pnxscapi.dll")
    parser.add_argument("--bridge", required=True, help="zkuptp_bridge.exe")
    args = parser.parse_args(argv)

    print("Simulated device servers on the LAN side of the test network:")
    for address, fields in SERVERS.items():
        print("  %-11s %-9s %-13s %s" % (address, fields["model"], fields["host"],
                                         fields["version"]))
    with Simulator(list(SERVERS), netns=os.environ["QZ_LAN_NS"], discovery=True,
                   max_seconds=300) as sim:
        for address, fields in SERVERS.items():
            sim.identity(address, **fields)
        for address in SERVERS:
            for fields in DEVICES.get(address, []):
                sim.plug(address, **fields)
        print("\nStarting Wine, loading %s ..." % args.library)
        bridge = BusBridge(args.wine_run, args.bridge, "10.77.0.1", bus_tag=600000 + os.getpid() % 100000)
        sim.set_bridge(*bridge.address)
        harness = Harness(args.wine_run, args.harness, args.library)
        try:
            if not harness.command("register driver=%s" % bridge.bus).get("ok"):
                raise SystemExit("PnxRegisterNotification failed")
            seen = []
            started = time.monotonic()
            harness.command("start mode=1 timer=10000 broad=0", seen)
            harness.wait(lambda line: False, WAIT_SECONDS, seen)
            found = [(at, line) for at, line in seen
                     if line.get("msg") == "PNXN_SERVER" and line.get("kind") == 1]
            searches = len([e for e in sim.searches() if e["dst"] == "255.255.255.255"])
            print("PnxStartService: broadcast searches from 10.77.0.1: %d; new servers reported "
                  "(PNXN_SERVER / PNXET_NEW): %d, the last after %.0f ms.\n"
                  % (searches, len(found), 1000 * (found[-1][0] - started) if found else 0))
            servers = harness.command("servers").get("servers", [])
            print("Servers found (PnxEnumServers + PnxGetServerInfo):")
            print_table(servers)
            missing = sorted(set(SERVERS) - {s["ip"] for s in servers})
            for address in missing:
                version = SERVERS[address]["version"]
                why = ("refused, the library needs version 2.2 or later"
                       if version < "Ver 2.2" else "NOT FOUND")
                print("\n  %s (%s): %s." % (address, version, why))
            expected = sum(len(DEVICES.get(s["ip"], [])) for s in servers)

            def new_devices():
                return len([1 for _, line in seen
                            if line.get("msg") == "PNXN_DEVICE" and line.get("kind") == 1])
            if new_devices() < expected:
                harness.wait(lambda line: new_devices() >= expected, DEVICE_WAIT_SECONDS, seen)
            print_devices(harness, servers)
            if any(s["ip"] == CONNECT_SERVER for s in servers):
                connect_road(harness, bridge, servers, seen)
            harness.command("end")
        finally:
            harness.quit()
            bridge.close()
    return 0 if servers else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
