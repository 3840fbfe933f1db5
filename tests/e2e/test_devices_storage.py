"""Network storage end to end: a server's shares become storage entries of the library (with
their NasInfo), a connect asks the network provider to map the share, and a safe removal sends
the server its command with the exact bytes and follows the shares until they are unmounted.

Server: 10.77.0.60 (level 4, with storage).  Under Wine there is no network provider, so the
mapping fails for real and the connect reports 6; the mapping rules themselves are unit tests
with a fake provider.  These tests hold the "lan_search" lock (file name): they search.
"""

import os
import shutil
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "sim"))

import simctl  # noqa: E402
from simctl import Simulator  # noqa: E402
from test_devices import ok, wait_until, wait_servers  # noqa: E402
from conftest import wine_path  # noqa: E402

NAS = "10.77.0.60"
START, PERMIT, RESULT, END = 1, 2, 3, 4
MOUNTED, NOT_MOUNTED = 7, 6


def entries(h, server):
    return {e["share"]: e for e in ok(h.command("storage %s" % server))["storage"]}


def run(h, text, entry, timeout=60):
    mark = len(h.notifications())
    ok(h.command(text))
    wait_until(h, lambda: any(n["msg"] == "PNXN_COMPLETE" for n in h.notifications()[mark:]), timeout)
    return [(n["msg"], n["phase"], n["result"], n["action"]) for n in h.notifications()[mark:]
            if n["msg"] in ("PNXN_NAS_CONNECT", "PNXN_NAS_REMOVE") and n["device"] == entry]


def logged(folder):
    lines = []
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as f:
            lines += [line.split("  ", 1)[-1] for line in f.read().decode("latin-1").split("\r\n")]
    return lines


def test_shares_become_entries_connect_and_safe_remove(lan_ns, harness, paths):
    h = harness
    ok(h.command("register"))
    folder = paths.drive_c("qz-storage-%d" % os.getpid())
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    ok(h.command('debugmode flags=1 folder="%s"' % wine_path(folder)))
    ok(h.command("defaultnasname \"Network Disk\""))
    with Simulator([NAS], netns=lan_ns, discovery=True, max_seconds=200) as sim:
        sim.identity(NAS, storage=True)
        sim.plug(NAS, name="Reader", port="1", location="1-1")
        sim.add_storage(NAS, "USB1", text="Disk on port 1", vid=0x0781, pid=0x5583,
                        shares=[dict(label="Photos", name="photos", value1=7, value2=9),
                                dict(label="", name="backup"),
                                dict(label="Old", name="old", mounted=False)])
        sim.add_storage(NAS, "USB2", shares=[dict(label="Stuck", name="stuck")], unmount="never")
        ok(h.command("start mode=9 timer=2000 broad=0"))
        server = wait_servers(h, [NAS])[NAS]
        known = wait_until(h, lambda: (lambda e: e if len(e) == 3 else None)(entries(h, server)))
        # The unmounted share has no entry; the one without a label takes the default name.
        assert sorted(known) == ["backup", "photos", "stuck"]
        photos = known["photos"]
        assert (photos["name"], photos["text"], photos["vid"], photos["label"], photos["value1"],
                photos["value2"], photos["state"], photos["type"]) == \
            ("USB1", "Disk on port 1", 0x0781, "Photos", 7, 9, MOUNTED, 1)
        assert known["backup"]["label"] == "Network Disk"
        news = [n for n in h.notifications("PNXN_NAS") if n["kind"] == 1]
        assert len(news) == 3

        # Connect: Start, Permit, Result (action 1), End. No network provider here: 6.
        events = run(h, "nasconnect %s" % photos["entry"], photos["entry"])
        assert [e[1] for e in events] == [START, PERMIT, RESULT, END]
        assert events[2][3] == 1 and events[2][2] == 6

        # Safe removal: the command with its exact bytes, then the shares go to state 6.
        mark = sim.mark()
        events = run(h, "nasremove %s" % photos["entry"], photos["entry"])
        assert events[2][:3] == ("PNXN_NAS_REMOVE", RESULT, 0)
        [command] = sim.safe_removes(NAS, since=mark)
        assert command["fixed_ok"] and command["ok"]
        assert bytes.fromhex(command["data"]) == simctl.safe_remove_data(NAS, "USB1")
        wait_until(h, lambda: entries(h, server)["photos"]["state"] == NOT_MOUNTED, 10)
        # Only the removal command waits longer; the log says from what to what and back.
        timers = [line for line in logged(folder) if "Timer Change" in line]
        assert timers == ["  <<< Timer Change : 1000 -> 20000 >>>", "  <<< Timer Change : 20000 -> 1000 >>>"]

        # A storage that never unmounts: the removal still reports 0 after its 30 s wait.
        stuck = entries(h, server)["stuck"]["entry"]
        started = time.monotonic()
        events = run(h, "nasremove %s" % stuck, stuck, timeout=60)
        assert events[2][:3] == ("PNXN_NAS_REMOVE", RESULT, 0)
        assert time.monotonic() - started >= 29

        # Unregistering during that wait cuts it short (it waits for the worker, which would
        # otherwise poll on for the rest of the 30 s), and the worker has ended.
        mark = sim.mark()
        ok(h.command("nasremove %s" % stuck))
        wait_until(h, lambda: sim.safe_removes(NAS, since=mark), 10)
        started = time.monotonic()
        ok(h.command("unregister", timeout=60))
        assert time.monotonic() - started < 15
        assert "*** Every library thread has ended ***" in logged(folder)
    shutil.rmtree(folder, ignore_errors=True)
