"""Connect and disconnect end to end: the harness queues requests in the real library, the
simulator plays the servers and has the simulated bus driver attach and detach the ports
through the bridge, and the stand-in device tree shows what Windows would install.

Servers: 10.77.0.58 (level 4, keep-alive), .59 (level 4) for single scenarios.  The bridge
listens on the PC side (10.77.0.1) so that the simulator reaches it as a server reaches the
PC's bus driver.  These tests hold the "lan_search" lock (file name): they search.
"""

import os
import shutil
import subprocess
import sys
import time
import types

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "sim"))

from simctl import Simulator  # noqa: E402
from test_devices import FREE, CONNECTED, THIS_PC, OTHER_PC, ok, wait_until, wait_servers, devices_of  # noqa: E402
from test_zkuptp_bridge import Bridge  # noqa: E402
from conftest import Harness, wine_path  # noqa: E402

A, B = "10.77.0.58", "10.77.0.59"
START, PERMIT, RESULT, END = 1, 2, 3, 4


@pytest.fixture
def bridge(paths):
    b = Bridge(paths, THIS_PC)
    yield b
    b.close()


@pytest.fixture
def rig(lan_ns, harness, bridge, paths, tmp_path):
    """A registered library on the bridge's bus, and a simulator of two servers. The library's
    logs are printed when a test fails."""
    bus = "zkuptp_%d" % (700000 + os.getpid() % 100000)
    ok(harness.command("register driver=%s" % bus))
    folder = paths.drive_c("qz-connect-%d" % os.getpid())
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    ok(harness.command('debugmode flags=1 folder="%s"' % wine_path(folder)))
    harness.log_folder = folder
    with Simulator([A, B], netns=lan_ns, discovery=True, max_seconds=280) as sim:
        sim.set_bridge(*bridge.address)
        sim.identity(A, function_flags=0x280)  # keep-alive supported
        yield harness, sim, bridge
        harness.command("end")
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as f:
            print("----- %s\n%s" % (name, f.read().decode("latin-1")))
    shutil.rmtree(folder, ignore_errors=True)


def start(h, servers):
    ok(h.command("start mode=1 timer=60000 broad=0"))
    return wait_servers(h, servers)


def device_of(h, server, name, status=None, timeout=20):
    def found():
        d = devices_of(h, server).get(name)
        return d if d and (status is None or d["status"] == status) else None
    return wait_until(h, found, timeout)


def phases(h, device, since=0):
    """(message, phase, result) of the device's connect events, and whether the queue completed."""
    events = [(n["msg"], n["phase"], n["result"]) for n in h.notifications()[since:]
              if n["msg"] in ("PNXN_CONNECT", "PNXN_DISCONNECT") and n["device"] == device]
    return events


def run(h, text, device, timeout=90):
    """Queues a request and waits for PNXN_COMPLETE; the device's events since."""
    mark = len(h.notifications())
    ok(h.command(text))
    wait_until(h, lambda: any(n["msg"] == "PNXN_COMPLETE" for n in h.notifications()[mark:]), timeout)
    return phases(h, device, mark)


def attached(bridge, server):
    return sorted(loc for (ip, loc) in bridge.ports() if ip == server)


def test_a_free_printer_connects_installs_and_disconnects(rig):
    h, sim, bridge = rig
    sim.plug(A, name="QZ Laser", port="1", location="1-1", interfaces=[[7, 1]])
    server = start(h, [A])[A]
    printer = device_of(h, server, "QZ Laser", FREE)["device"]

    events = run(h, "connect %s wait=1 action=1" % printer, printer)
    assert events == [("PNXN_CONNECT", START, 0), ("PNXN_CONNECT", RESULT, 0), ("PNXN_CONNECT", END, 0)]
    assert attached(bridge, A) == ["1-1"]
    [command] = sim.commands(A, kind="connect")
    assert command["fixed_ok"] and command["ok"] and command["address"] == THIS_PC
    assert command["params"]["flags"] & 0x2 and command["params"]["keepalive_port"] == 49235
    # Windows "installed" it: the printer function's node below the bus device was found.
    ids = ok(h.command("instanceids %s" % printer))["ids"]
    assert len(ids) == 1 and ids[0].startswith("USB\\VID_")
    ok(h.command("renewdevices %s mode=2" % server))
    assert device_of(h, server, "QZ Laser", CONNECTED)

    # A disconnect asks the requester's permission first (the device has no permission bit).
    events = run(h, "disconnect %s action=1" % printer, printer)
    assert events == [("PNXN_DISCONNECT", START, 0), ("PNXN_DISCONNECT", PERMIT, 0),
                      ("PNXN_DISCONNECT", RESULT, 0), ("PNXN_DISCONNECT", END, 0)]
    assert attached(bridge, A) == []
    assert sim.usb_devices(A)[0]["user"] is None


def test_refusals_each_give_their_result_code(rig):
    h, sim, bridge = rig
    sim.plug(B, name="Taken", port="1", location="1-1", user=OTHER_PC)
    sim.plug(B, name="Denied", port="2", location="1-2")
    sim.plug(B, name="Held", port="3", location="1-3", user=THIS_PC, interfaces=[[8, 6]])
    sim.update_device(B, "1-2", connect_answer="deny")
    server = start(h, [B])[B]
    taken = device_of(h, server, "Taken")["device"]
    denied = device_of(h, server, "Denied", FREE)["device"]
    held = device_of(h, server, "Held", CONNECTED)["device"]
    assert bridge.ask("attach %s 1-3 USB\\VID_0A5C&PID_0001\\QZHELD pnp=storage" % B) == "OK"

    # A refusal ends like any request: its Result, then End, then the queue's PNXN_COMPLETE
    # (run waits for it).
    assert run(h, "connect %s wait=1" % taken, taken) == [
        ("PNXN_CONNECT", START, 0), ("PNXN_CONNECT", RESULT, 3), ("PNXN_CONNECT", END, 0)]
    assert sim.commands(B, kind="connect") == []  # nothing was asked of the server
    assert run(h, "connect %s wait=1" % denied, denied) == [
        ("PNXN_CONNECT", START, 0), ("PNXN_CONNECT", RESULT, 9), ("PNXN_CONNECT", END, 0)]
    assert ok(h.command("deviceentry %s" % denied))["action"] == 0
    # A port the driver already holds for this PC: 4, and the installation wait still runs.
    assert run(h, "connect %s wait=1" % held, held)[1:] == [("PNXN_CONNECT", RESULT, 4), ("PNXN_CONNECT", END, 0)]
    assert ok(h.command("instanceids %s" % held))["ids"] == ["USB\\VID_0A5C&PID_0001\\QZHELD"]


def test_the_connect_takes_the_port_name_the_server_holds_now(rig):
    h, sim, bridge = rig
    sim.plug(B, name="Renamed", port="4", location="5-1")
    server = start(h, [B])[B]
    device = device_of(h, server, "Renamed", FREE)["device"]
    # The server renames the port after the list was read; the last status check before the
    # command reads the list again.
    sim.update_device(B, "5-1", port="6")
    assert run(h, "connect %s wait=0" % device, device)[1] == ("PNXN_CONNECT", RESULT, 0)
    [command] = sim.commands(B, kind="connect")
    assert command["port_name"] == "6" and command["ok"]
    # The command's answer is a diagnostic that the ordinary log leaves out.
    logs = "".join(open(os.path.join(h.log_folder, name), "rb").read().decode("latin-1")
                   for name in os.listdir(h.log_folder))
    assert "### Connect/Disconnect - End ###" in logs and "<<< Connect Command" not in logs


def test_a_three_interface_disconnect_sends_three_commands(rig):
    h, sim, bridge = rig
    sim.plug(B, name="QZ Combo", port="5", location="2-1", interfaces=[[7, 1], [8, 6], [3, 0]],
             permission=True)
    server = start(h, [B])[B]
    combo = device_of(h, server, "QZ Combo", FREE)["device"]
    assert run(h, "connect %s wait=0" % combo, combo)[1] == ("PNXN_CONNECT", RESULT, 0)
    assert attached(bridge, B) == ["2-1M1", "2-1M2", "2-1M3"]
    ok(h.command("renewdevices %s mode=2" % server))
    device_of(h, server, "QZ Combo", CONNECTED)
    mark = len(sim.commands(B))
    events = run(h, "disconnect %s" % combo, combo)
    # The permission bit spares the Permit phase.
    assert [e[1] for e in events] == [START, RESULT, END] and events[1][2] == 0
    assert [c["port_name"] for c in sim.commands(B, since=mark) if c["command"] == "disconnect"] == ["5", "5.2", "5.3"]
    assert attached(bridge, B) == []


def test_cancel_ends_the_wait_for_a_printer_and_a_driver_that_never_attaches_fails(rig):
    h, sim, bridge = rig
    sim.plug(A, name="Slow Printer", port="1", location="3-1", interfaces=[[7, 1]])
    sim.plug(A, name="Ghost", port="2", location="3-2", attach="never")
    server = start(h, [A])[A]
    printer = device_of(h, server, "Slow Printer", FREE)["device"]
    ghost = device_of(h, server, "Ghost", FREE)["device"]

    # Wait mode 2 goes on until a local printer uses the device: Cancel ends it.
    mark = len(h.notifications())
    ok(h.command("connect %s wait=2" % printer))
    wait_until(h, lambda: phases(h, printer, mark)[1:2] == [("PNXN_CONNECT", RESULT, 0)], 30)
    time.sleep(2)
    # Without the cancel the wait would go on: its end within the wait below is the proof.
    ok(h.command("connectcancel"))
    wait_until(h, lambda: ("PNXN_CONNECT", END, 0) in phases(h, printer, mark), 10)

    # Three driver waits of 20 s with the port still free, then the connect fails.
    events = run(h, "connect %s wait=1" % ghost, ghost, timeout=100)
    assert events[1] == ("PNXN_CONNECT", RESULT, 6)
    assert len(sim.commands(A, kind="connect")) == 1 + 3


def test_a_handler_that_renews_the_list_during_a_phase_crashes_nothing(rig):
    h, sim, bridge = rig
    sim.plug(B, name="Reentrant", port="1", location="4-1")
    server = start(h, [B])[B]
    device = device_of(h, server, "Reentrant", FREE)["device"]
    ok(h.command("phasehook phase=1 renew=%s" % server))
    events = run(h, "connect %s wait=0" % device, device)
    assert events[1] == ("PNXN_CONNECT", RESULT, 0)
    assert [line for line in h.lines if line.get("type") == "hook"][0]["renew"] == 1
    ok(h.command("servers"))


def test_a_watched_program_is_started_reported_and_its_end_disconnects(rig, paths):
    h, sim, bridge = rig
    sim.plug(B, name="Watched", port="1", location="6-1")
    server = start(h, [B])[B]
    device = device_of(h, server, "Watched", FREE)["device"]
    program = wine_path(os.path.join(paths.bin, "qz_sleep.exe"))
    # Start the program while in use (0x1), disconnect when it ended (0x4), report both.
    ok(h.command('setdeviceproperty %s appbits=%d app="%s"' % (device, 0x1 | 0x4 | 0x100 | 0x200, program)))
    assert run(h, "connect %s wait=0" % device, device)[1] == ("PNXN_CONNECT", RESULT, 0)
    ok(h.command("renewdevices %s mode=2" % server))

    def application(kind):
        return [n for n in h.notifications("PNXN_APPLICATION") if n["kind"] == kind and n["lparam"] == device]
    wait_until(h, lambda: application(4), 20)  # the library started it; it was seen running
    wait_until(h, lambda: application(5), 20)  # it ended after its 5 s
    offers = wait_until(h, lambda: [n for n in h.notifications("PNXN_DEVICE") if n["kind"] == 5
                                    and n.get("devices") == [{"device": device, "type": 2}]], 10)
    assert offers


def test_unregistering_and_unloading_during_a_result_phase_leave_no_thread_behind(lan_ns, harness, bridge, paths):
    """The library goes while its worker waits for the driver to attach a port: unregistering
    ends that wait and waits for the worker, so that after FreeLibrary no code of the library
    runs on; the process goes on for 10 s without a fault."""
    h = harness
    ok(h.command("register driver=%s" % bridge.bus))
    folder = paths.drive_c("qz-unload-%d" % os.getpid())
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    ok(h.command('debugmode flags=1 folder="%s"' % wine_path(folder)))
    try:
        with Simulator([A], netns=lan_ns, discovery=True, max_seconds=280) as sim:
            sim.set_bridge(*bridge.address)
            sim.plug(A, name="Late Disk", port="1", location="8-1", attach="slow", attach_delay=60)
            server = start(h, [A])[A]
            disk = device_of(h, server, "Late Disk", FREE)["device"]
            mark = len(h.notifications())
            ok(h.command("connect %s wait=1 action=1" % disk))
            # The server said OK: the worker now waits in its Result phase for the attach.
            wait_until(h, lambda: sim.commands(A, kind="connect"), 30)
            wait_until(h, lambda: phases(h, disk, mark)[:1] == [("PNXN_CONNECT", START, 0)], 10)
            ok(h.command("unregister", timeout=60))
            ok(h.command("unload", timeout=60))
            time.sleep(10)
            assert h.proc.poll() is None, h.stderr
            assert h.command("help")["ok"]
        with open(os.path.join(folder, "Pnxsclog.txt"), "rb") as f:
            log = f.read().decode("latin-1")
        assert "*** Every library thread has ended ***" in log, log[-3000:]
        assert "Library threads are still running" not in log
        # The Result phase never reached its end: the wait was cut short, not run out.
        assert ("PNXN_CONNECT", END, 0) not in phases(h, disk, mark)
    finally:
        for name in sorted(os.listdir(folder)):
            with open(os.path.join(folder, name), "rb") as f:
                print("----- %s\n%s" % (name, f.read().decode("latin-1")))
        shutil.rmtree(folder, ignore_errors=True)


def test_on_windows_2000_each_interface_has_a_bus_device_of_its_own(lan_ns, bridge, paths):
    """A copy of the harness that Wine tells it runs on Windows 2000 (for that program alone):
    the installation wait asks the driver for the bus device of every interface, and those
    are the device's Plug and Play ids; a later Windows has one bus device whose children
    they are."""
    name = "harness_w2k_%d.exe" % os.getpid()
    exe = os.path.join(paths.bin, name)
    shutil.copy(paths.harness, exe)
    key = "HKCU\\Software\\Wine\\AppDefaults\\" + name
    subprocess.run([paths.wine_run, "reg", "add", key, "/v", "Version", "/d", "win2k", "/f"],
                   stdin=subprocess.DEVNULL, capture_output=True, timeout=120, check=True)
    h = Harness(types.SimpleNamespace(wine_run=paths.wine_run, harness=exe, bin=paths.bin))
    try:
        ok(h.command("register driver=%s" % bridge.bus))
        with Simulator([A], netns=lan_ns, discovery=True, max_seconds=280) as sim:
            sim.set_bridge(*bridge.address)
            sim.plug(A, name="Old Combo", port="3", location="9-1", interfaces=[[7, 1], [8, 6]], permission=True)
            server = start(h, [A])[A]
            combo = device_of(h, server, "Old Combo", FREE)["device"]
            events = run(h, "connect %s wait=1" % combo, combo)
            assert events[1:] == [("PNXN_CONNECT", RESULT, 0), ("PNXN_CONNECT", END, 0)]
            ports = bridge.ports()
            bus_ids = [ports[(A, loc)]["id"] for loc in ("9-1M1", "9-1M2")]
            assert ok(h.command("instanceids %s" % combo))["ids"] == bus_ids
            run(h, "disconnect %s" % combo, combo)
            h.command("end")
    finally:
        h.close()
        subprocess.run([paths.wine_run, "reg", "delete", key, "/f"], stdin=subprocess.DEVNULL,
                       capture_output=True, timeout=120)
        os.remove(exe)
