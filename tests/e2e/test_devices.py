"""USB devices end to end: the simulator's servers carry devices, the library follows their
device lists and tells the client about every new, changed and vanished device.

Servers: 10.77.0.52 (version 2.4, RWP level 4, "_EX_II" lists), .53 (2.3, "_EX"), .54 (2.2,
plain lists), .55 and .56 for single scenarios, .57 with the keep-alive (ZKA) function.  10.77.0.61 plays "another PC" that uses a
device (it is only named in replies; nothing is sent to it).  These tests hold the
"lan_search" lock: searches are broadcasts seen by every simulator.
"""

import os
import struct
import sys
import time

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "sim"))

import usb_devices  # noqa: E402
from simctl import Simulator  # noqa: E402
from test_zkuptp_bridge import Bridge  # noqa: E402

L4, L3, L2 = "10.77.0.52", "10.77.0.53", "10.77.0.54"
SOLO, AUTO, ZKA = "10.77.0.55", "10.77.0.56", "10.77.0.57"
THIS_PC = os.environ.get("QZ_PC_ADDR", "10.77.0.1")
KEEPALIVE_TICK = 8.0
OTHER_PC = "10.77.0.61"
PNXET_NEW, PNXET_DELETE, PNXET_CHANGE, PNXET_CONNECT, PNXET_DISCONNECT = 1, 2, 3, 4, 5
FREE, CONNECTED, OTHER, NO_DEVICE = 1, 2, 3, 4
TIMER_MS = 1500


def ok(result):
    assert result["ok"], result
    return result


def device_notes(h, kind, since=0):
    return [n for n in h.notifications("PNXN_DEVICE")[since:] if n["kind"] == kind]


def wait_until(h, condition, timeout=20):
    """Polls `condition` (given nothing) while taking the harness's lines; returns its value."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        assert time.monotonic() < deadline, "condition not met"
        try:
            h.expect(lambda line: line.get("type") == "notify", timeout=min(0.5, deadline - time.monotonic()))
        except Exception:  # noqa: BLE001 - no line within the slice: poll again
            pass


def wait_servers(h, addresses, timeout=20):
    def listed():
        servers = {s["ip"]: s["handle"] for s in ok(h.command("servers"))["servers"]}
        return {a: servers[a] for a in addresses} if all(a in servers for a in addresses) else None
    return wait_until(h, listed, timeout)


def devices_of(h, server):
    return {d["name"]: d for d in ok(h.command("devices %s" % server))["devices"]}


def info(h, device):
    return ok(h.command("deviceinfo %s" % device))["info"]


@pytest.fixture
def client(harness, lan_ns):
    ok(harness.command("register"))
    yield harness
    harness.command("end")


def test_device_list_replies_are_byte_exact_in_each_form():
    bus = usb_devices.UsbBus(server=None)
    bus.plug({"name": "Disk", "port": "1", "vid": 0x0A5C, "pid": 0x0001, "location": "1-1",
              "interfaces": [[8, 6]], "serial": "SN0001"})
    bus.plug({"name": "Combo", "port": "2", "vid": 0x046D, "pid": 0xC52B, "location": "1-2",
              "interfaces": [[3, 1], [3, 2]], "serial": "", "user": OTHER_PC, "isoep": True})

    def entry(port, name, user, flags, location, cls, sub, serial, form, vid, pid):
        data = port + b"\0" + name + b"\0" + user + struct.pack("<H", flags)
        if form != "plain":
            data += b"\0\0"
        data += struct.pack(">HH", vid, pid) + location.ljust(16, b"\0") + struct.pack(">H", cls)
        if form == "exii":
            data += struct.pack(">H", sub)
        if form == "ex":
            data += serial.ljust(64, b"\0")
        if form == "exii":
            data += serial.ljust(80, b"\0")
        return data + bytes(4)

    other = bytes([10, 77, 0, 61])
    for command, form in usb_devices.FORMS.items():
        expected = b"\x03" + b"".join([
            entry(b"1", b"Disk", bytes(4), 0x0100, b"1-1", 8, 6, b"SN0001", form, 0x0A5C, 0x0001),
            entry(b"2", b"Combo", other, 0x0104, b"1-2M1", 3, 1, b"", form, 0x046D, 0xC52B),
            entry(b"2.2", b"Combo", other, 0x0104, b"1-2M2", 3, 2, b"", form, 0x046D, 0xC52B),
        ])
        assert bus.reply(command) == expected, form
    # A plain entry with two empty texts is the 34 bytes a reader needs at the least.
    assert len(bus.devices["1-1"].entries("plain")[0]) == 34 + len(b"1Disk")


def test_every_device_appears_new_with_its_name_ids_status_and_interfaces(lan_ns, client):
    with Simulator([L4, L3, L2], netns=lan_ns, discovery=True, max_seconds=120) as sim:
        sim.identity(L4, version="Ver 2.4.0")
        sim.identity(L3, version="Ver 2.3.0")
        sim.identity(L2, version="Ver 2.2.0")
        sim.plug(L4, name="Disk", vid=0x0A5C, pid=0x0001, location="1-1", serial="SN-L4")
        sim.plug(L4, name="Combo Keyboard", port="2", vid=0x046D, pid=0xC52B, location="1-2",
                 interfaces=[[3, 1], [3, 2], [3, 0]])
        sim.plug(L4, name="Scanner", port="3", vid=0x04B8, pid=0x0142, location="1-3",
                 user=OTHER_PC, user_name="LAB-PC")
        sim.plug(L3, name="Camera", vid=0x046D, pid=0x0825, location="2-1", serial="CAM-7")
        sim.plug(L2, name="Key", vid=0x0529, pid=0x0001, location="3-1")
        ok(client.command("start mode=1 timer=%d broad=0" % TIMER_MS))
        handles = wait_servers(client, [L4, L3, L2])
        wait_until(client, lambda: len(device_notes(client, PNXET_NEW)) >= 5)

        new = {info(client, n["lparam"])["name"]: n for n in device_notes(client, PNXET_NEW)}
        assert sorted(new) == ["Camera", "Combo Keyboard", "Disk", "Key", "Scanner"]
        l4 = devices_of(client, handles[L4])
        assert set(l4) == {"Disk", "Combo Keyboard", "Scanner"}
        disk, combo, scanner = l4["Disk"], l4["Combo Keyboard"], l4["Scanner"]
        assert (disk["vid"], disk["pid"], disk["status"], disk["interfaces"]) == (0x0A5C, 0x0001, FREE, 1)
        assert disk["serial"] == "SN-L4" and disk["locations"] == "1-1"
        assert (combo["vid"], combo["pid"], combo["interfaces"]) == (0x046D, 0xC52B, 3)
        assert combo["classes"] == [3, 3, 3]
        assert combo["ports"] == "2,2.2,2.3" and combo["locations"] == "1-2M1,1-2M2,1-2M3"
        assert scanner["status"] == OTHER and scanner["user"] == OTHER_PC
        camera = devices_of(client, handles[L3])["Camera"]
        assert (camera["vid"], camera["pid"], camera["status"], camera["serial"]) == (0x046D, 0x0825, FREE, "CAM-7")
        key = devices_of(client, handles[L2])["Key"]
        assert (key["vid"], key["pid"], key["status"], key["interfaces"]) == (0x0529, 0x0001, FREE, 1)
        assert key["serial"] is None  # the plain form carries none

        # Polls of an unchanged list report nothing more.
        count = len(client.notifications("PNXN_DEVICE"))
        time.sleep(2 * TIMER_MS / 1000 + 0.5)
        ok(client.command("servers"))
        assert [n for n in client.notifications("PNXN_DEVICE")[count:] if n["kind"] in (1, 2, 3)] == []


def test_unplug_rename_and_another_pc(lan_ns, client):
    with Simulator([SOLO], netns=lan_ns, discovery=True, max_seconds=120) as sim:
        sim.plug(SOLO, name="Disk", location="1-1")
        sim.plug(SOLO, name="Stick", port="2", vid=0x0781, pid=0x5567, location="1-2")
        ok(client.command("start mode=1 timer=60000 broad=0"))
        server = wait_servers(client, [SOLO])[SOLO]
        wait_until(client, lambda: len(device_notes(client, PNXET_NEW)) >= 2)
        devices = devices_of(client, server)
        disk, stick = devices["Disk"]["device"], devices["Stick"]["device"]

        # Another PC takes the disk: status 3 with that PC's address as its name until a
        # name is found (the test network has no names).
        mark = len(client.notifications())
        sim.give_device(SOLO, "1-1", address=OTHER_PC, name="LAB-PC")
        ok(client.command("renewdevices %s mode=2" % server))
        changed = [n for n in device_notes(client, PNXET_CHANGE) if n["lparam"] == disk]
        assert changed and changed[-1]["flags"] & 4
        now = info(client, disk)
        assert (now["status"], now["user"], now["pc_name"]) == (OTHER, OTHER_PC, OTHER_PC)
        sim.give_device(SOLO, "1-1")
        ok(client.command("renewdevices %s mode=2" % server))
        assert (info(client, disk)["status"], info(client, disk)["pc_name"]) == (FREE, "")

        # A renamed device is another device: the old one goes missing, the new one is new.
        sim.update_device(SOLO, "1-2", name="Stick 2")
        ok(client.command("renewdevices %s mode=2" % server))
        assert info(client, stick)["status"] == NO_DEVICE
        assert "Stick 2" in devices_of(client, server)

        # Unplugged: status 4, kept; with the remove-missing mark, deleted.
        sim.unplug(SOLO, "1-1")
        mark = len(client.notifications("PNXN_DEVICE"))
        ok(client.command("renewdevices %s mode=2" % server))
        assert [n["lparam"] for n in device_notes(client, PNXET_CHANGE, mark)] == [disk]
        assert info(client, disk)["status"] == NO_DEVICE
        ok(client.command("devicemarks %s remove=1" % server))
        sim.unplug(SOLO, "1-2")
        mark = len(client.notifications("PNXN_DEVICE"))
        ok(client.command("renewdevices %s mode=2" % server))
        deleted = {n["lparam"] for n in device_notes(client, PNXET_DELETE, mark)}
        assert {disk, stick} <= deleted
        assert devices_of(client, server) == {}
        # A reply without devices ends the mark.
        assert ok(client.command("devicemarks %s" % server))["remove"] is False


def test_a_free_device_with_automatic_connect_is_offered_for_a_connect(lan_ns, client):
    with Simulator([AUTO], netns=lan_ns, discovery=True, max_seconds=120) as sim:
        # Automatic connect (0x8 | 0x1) for every new device.
        assert ok(client.command("defaultproperty property=9"))["property"] == 9
        sim.plug(AUTO, name="Printer", location="1-1", interfaces=[[7, 1]])
        sim.plug(AUTO, name="Plotter", port="2", location="1-2", interfaces=[[7, 1]], user=OTHER_PC)
        ok(client.command("start mode=1 timer=60000 broad=0"))
        server = wait_servers(client, [AUTO])[AUTO]

        def offers():
            return [n for n in client.notifications("PNXN_DEVICE") if n["kind"] == PNXET_CONNECT]
        offer = wait_until(client, offers)[0]
        printer = devices_of(client, server)["Printer"]["device"]
        assert offer["flags"] == 0 and offer["devices"] == [{"device": printer, "type": 4}]

        # The device another PC held waits; once free it is offered too.
        plotter = devices_of(client, server)["Plotter"]["device"]
        sim.give_device(AUTO, "1-2")
        mark = len(offers())
        ok(client.command("renewdevices %s mode=2" % server))
        assert [n["devices"] for n in offers()[mark:]] == [[{"device": plotter, "type": 4}]]


@pytest.fixture
def bridge(paths):
    b = Bridge(paths, "127.0.0.1")
    yield b
    b.close()


def wait_keepalives(sim, server, since, timeout=KEEPALIVE_TICK + 3):
    deadline = time.monotonic() + timeout
    while True:
        found = sim.keepalives(server, since)
        if found:
            return found
        assert time.monotonic() < deadline, "no keep-alive from %s" % server
        time.sleep(0.2)


def test_keepalive_names_a_connecting_device_and_a_lost_port_disconnects_it(lan_ns, harness, bridge):
    bus = "zkuptp_%d" % (700000 + os.getpid() % 100000)  # the bridge's own bus
    ok(harness.command("register driver=%s" % bus))
    with Simulator([ZKA], netns=lan_ns, discovery=True, keepalive=True, max_seconds=200) as sim:
        sim.identity(ZKA, function_flags=0x280)  # valid | ZKA
        sim.plug(ZKA, name="Dongle", port="q", location="1-1", user=THIS_PC)
        sim.plug(ZKA, name="Reader", port="r", location="1-2")
        ok(harness.command("start mode=1 timer=60000 broad=0"))
        server = wait_servers(harness, [ZKA])[ZKA]
        wait_until(harness, lambda: len(device_notes(harness, PNXET_NEW)) >= 2)
        devices = devices_of(harness, server)
        dongle, reader = devices["Dongle"]["device"], devices["Reader"]["device"]
        assert devices["Dongle"]["status"] == CONNECTED and devices["Reader"]["status"] == FREE

        # A device being connected (what the connect queue marks) has its ports named.
        ok(harness.command("deviceentry %s busy=1" % reader))
        assert wait_keepalives(sim, ZKA, sim.mark())[0]["ports"] == ["r"]
        ok(harness.command("deviceentry %s busy=0" % reader))

        # A device this PC connected, whose port the bus driver holds, is named too.
        ok(harness.command("deviceentry %s action=1" % dongle))
        assert bridge.ask("attach %s 1-1 USB\\VID_0A5C&PID_0001\\1" % ZKA) == "OK"
        assert wait_keepalives(sim, ZKA, sim.mark())[0]["ports"] == ["q"]

        # The driver lost the port: the list is read again, and although the server still
        # shows the device in use by this PC, it is offered for a disconnect by keep-alive.
        assert bridge.ask("detach %s 1-1" % ZKA) == "OK"

        def disconnects():
            return [n for n in harness.notifications("PNXN_DEVICE") if n["kind"] == PNXET_DISCONNECT]
        offer = wait_until(harness, disconnects, timeout=KEEPALIVE_TICK + 6)[0]
        assert offer["devices"] == [{"device": dongle, "type": 5}]
        assert ok(harness.command("deviceentry %s" % dongle))["keepalive_lost"] == 0
        ok(harness.command("end"))
