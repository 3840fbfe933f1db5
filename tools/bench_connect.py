#!/usr/bin/python3
"""Connect/disconnect benchmark (not a test; run by tools/bench_connect.sh inside the network).

One simulated server with one printer; the library under Wine connects it (wait mode 1) and
disconnects it again, ROUNDS times. For each request it reports the time from queuing to the
End phase, and that time less the waits the library is built to make: one 1000 ms pause per
bus driver state poll that did not yet show the wanted state, and the 1000 ms pauses between
the confirmation reads of the server's device list after a disconnect.
"""

import argparse
import os
import statistics
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(ROOT, "sim"))
sys.path.insert(0, os.path.dirname(__file__))

from demo import Harness  # noqa: E402
from simctl import BusBridge, Simulator  # noqa: E402

SERVER = "10.77.0.40"
WAIT_STATE = 0x80602150
POLL_MS = 1000


def driver_log(bridge, since):
    """(next sequence number, control codes of the driver calls since `since`)."""
    lines = bridge.ask("log %d" % since).split("\n")
    head = lines[0].split()
    codes = [int(line.split()[1], 0) for line in lines[1:] if line.strip()]
    return int(head[1]), codes


def list_reads(sim, since):
    return len([e for e in sim.log(SERVER, since) if e.get("dir") == "in" and e.get("type") == 1
                and str(e.get("command", "")).startswith("GET USB_DEVICE_LIST")])


def one(harness, bridge, sim, text, seen):
    seq, _ = driver_log(bridge, 0)
    mark_sim = sim.mark()
    mark = len(seen)
    started = time.monotonic()
    harness.command(text, seen)
    harness.wait(lambda line: line.get("msg") == "PNXN_COMPLETE", 120, seen)
    end = next(at for at, line in seen[mark:] if line.get("phase") == 4)
    total = 1000 * (end - started)
    _, codes = driver_log(bridge, seq)
    polls = codes.count(WAIT_STATE)
    reads = list_reads(sim, mark_sim)
    # The last status check reads the list once; a disconnect's confirmation reads it again,
    # with a pause before every read after its first.
    confirm_pauses = max(0, reads - 2) if text.startswith("disconnect") else 0
    prescribed = POLL_MS * max(0, polls - 1) + POLL_MS * confirm_pauses
    return total, prescribed


def main(argv):
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--harness", required=True)
    parser.add_argument("--library", required=True)
    parser.add_argument("--bridge", required=True)
    parser.add_argument("--rounds", type=int, default=10)
    args = parser.parse_args(argv)
    with Simulator([SERVER], netns=os.environ["QZ_LAN_NS"], discovery=True, max_seconds=900) as sim:
        sim.plug(SERVER, name="Bench Printer", port="1", location="1-1", interfaces=[[7, 1]])
        bridge = BusBridge(args.wine_run, args.bridge, "10.77.0.1", bus_tag=650000 + os.getpid() % 100000)
        sim.set_bridge(*bridge.address)
        harness = Harness(args.wine_run, args.harness, args.library)
        try:
            harness.command("register driver=%s" % bridge.bus)
            seen = []
            harness.command("start mode=1 timer=60000 broad=0", seen)
            harness.wait(lambda line: line.get("msg") == "PNXN_DEVICE" and line.get("kind") == 1, 30, seen)
            server = harness.command("servers")["servers"][0]["handle"]
            device = harness.command("devices %s" % server)["devices"][0]["device"]
            results = {"connect": [], "disconnect": []}
            for _ in range(args.rounds):
                for kind, text in (("connect", "connect %s wait=1 action=1" % device),
                                   ("disconnect", "disconnect %s action=1" % device)):
                    results[kind].append(one(harness, bridge, sim, text, seen))
                    harness.command("renewdevices %s mode=2" % server)
            harness.command("end")
        finally:
            harness.quit()
            bridge.close()
    print("request     rounds  to End ms (median, max)   prescribed waits ms   beyond them ms (median, max)")
    for kind, rows in results.items():
        totals = [t for t, _ in rows]
        beyond = [t - p for t, p in rows]
        print("%-10s  %6d  %9.0f %9.0f         %9.0f             %7.1f %7.1f"
              % (kind, len(rows), statistics.median(totals), max(totals),
                 statistics.median([p for _, p in rows]), statistics.median(beyond), max(beyond)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
