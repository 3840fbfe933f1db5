"""Asking another PC to release a device, and the device's property dialog, end to end.

The running utility (PC A, 10.77.0.1) talks over UDP 49300 with stand-in peers in the LAN
namespace: a holder at 10.77.0.50 and requesters at 10.77.0.51 and 10.77.0.52, each a small
socket program (this file run with --peer) that prints what it receives and sends what the
test tells it. A asks the stand-in holder for a device the simulator says it uses (no answer,
busy, refused then asked again, accepted and released: A connects it); then A holds the
device and answers stand-in requesters through its answer toast (a third PC is told busy,
No refuses, Yes disconnects and releases, a countdown is announced and queried, a withdrawn
request closes the toast). The property dialog opened from the list writes the name the
library then reports back and the request options into the device's registry key; Cancel
after Apply keeps what was applied.
"""

import json
import os
import queue
import socket
import struct
import subprocess
import sys
import threading

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "sim"))
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "guidriver"))

from conftest import install_stand_in_driver  # noqa: E402
from simctl import BusBridge, Simulator  # noqa: E402
import utility_rig as rig  # noqa: E402

SERVER = "10.77.0.45"
SERVER_MAC = "02:51:5a:00:00:45"
HOLDER, ASKER, THIRD = "10.77.0.50", "10.77.0.51", "10.77.0.52"
PORT = 49300
TOAST = "Request to use a device"
LIST, CONNECT, PROPERTY, REQUEST = 1082, 1019, 1018, 1023
YES, NO, CANCEL = 1030, 1029, 2
T_MESSAGE, T_LOWER = 1111, 1112
SRU = dict(REQUEST=1, CANCEL=2, ACCEPT=3, REFUSE=4, RELEASED=5, BUSY=6, PORT=7, NOT_FOUND=8,
           COUNTDOWN=9, TIME_QUERY=10, TIME=11)


def build(command, mac, vid, pid, name, locations, pc, seconds=0):
    strings = name + b"\0" + locations + b"\0" + pc + b"\0"
    total = 21 + len(name) + len(locations) + len(pc)
    return struct.pack(">HH", total, command) + mac + struct.pack(">HH", vid, pid) + strings + \
        struct.pack(">I", seconds)


def parse(data):
    total, command = struct.unpack_from(">HH", data)
    vid, pid = struct.unpack_from(">HH", data, 10)
    name, locations, pc, rest = data[14:].split(b"\0", 3)
    seconds, = struct.unpack_from(">I", rest)
    return dict(total=total, length=len(data), command=command, mac=data[4:10], vid=vid, pid=pid,
                name=name, locations=locations, pc=pc, seconds=seconds)


def peer_main(address, port):
    """--peer ADDRESS PORT: one UDP socket; prints "ADDR PORT HEX" per datagram received and
    sends the datagrams read from stdin as "ADDR PORT HEX"."""
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind((address, port))
    print("ready %d" % sock.getsockname()[1], flush=True)

    def reader():
        while True:
            data, sender = sock.recvfrom(8192)
            print("%s %d %s" % (sender[0], sender[1], data.hex()), flush=True)
    threading.Thread(target=reader, daemon=True).start()
    for line in sys.stdin:
        host, to_port, hexdata = line.split()
        sock.sendto(bytes.fromhex(hexdata), (host, int(to_port)))


class Peer:
    """A stand-in utility of another PC, inside the LAN namespace."""

    def __init__(self, address, port=0):
        self.address = address
        self.proc = subprocess.Popen(["ip", "netns", "exec", os.environ["QZ_LAN_NS"], sys.executable,
                                      os.path.abspath(__file__), "--peer", address, str(port)],
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        first = self.proc.stdout.readline().split()
        assert first and first[0] == "ready", first
        self.port = int(first[1])
        self.received = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            host, port, hexdata = line.split()
            self.received.put((host, int(port), parse(bytes.fromhex(hexdata))))

    def send(self, packet, host="10.77.0.1", port=PORT):
        self.proc.stdin.write("%s %d %s\n" % (host, port, packet.hex()))
        self.proc.stdin.flush()

    def expect(self, command, timeout=30):
        """The next datagram; it must carry `command`."""
        host, port, packet = self.received.get(timeout=timeout)
        assert packet["command"] == SRU[command], (command, packet)
        return host, port, packet

    def nothing(self, timeout=2):
        with pytest.raises(queue.Empty):
            self.received.get(timeout=timeout)

    def close(self):
        self.proc.kill()
        self.proc.wait()


@pytest.fixture(scope="module")
def world(paths):
    lan_ns = os.environ.get("QZ_LAN_NS")
    if not lan_ns:
        pytest.skip("QZ_LAN_NS is not set (run inside tools/testnet.sh)")
    rig.set_driver_version(paths, "3.3.0.0")
    rig.reset_registry(paths)
    rig.clear_logs(paths)
    option = rig.OPTION_KEY + r"\Option"
    rig.reg(paths, "add", option, "/v", "PermitMessage", "/t", "REG_BINARY", "/d", "00", "/f")
    rig.reg(paths, "add", option, "/v", "StatusTimer", "/t", "REG_DWORD", "/d", "3000", "/f")
    bridge = BusBridge(paths.wine_run, os.path.join(paths.bin, "zkuptp_bridge.exe"), "10.77.0.1")
    sim = Simulator([SERVER], netns=lan_ns, discovery=True, max_seconds=590)
    sim.start()
    sim.identity(SERVER, host="LAB-HUB", model="QZ-7000", mac=SERVER_MAC)
    sim.set_bridge(*bridge.address)
    device = sim.plug(SERVER, name="Office Printer", port="1", vid=0x04B8, pid=0x0005, location="1-1")
    sim.give_device(SERVER, device, address=HOLDER, name="holder-pc")
    gui = rig.Gui(paths)
    utility = rig.Utility(paths, ["-dlog", "-m"])
    main_dialog = gui.must("wait", "#32770", rig.TITLE, 60000)["hwnd"]
    yield dict(gui=gui, sim=sim, device=device, main=main_dialog, bridge=bridge)
    utility.close(gui)
    sim.stop()
    bridge.ask("detach %s 1-1" % SERVER)
    bridge.close()
    install_stand_in_driver(paths)


def row(gui, main_dialog):
    rows = gui.must("rows", main_dialog, LIST)["list"]["rows"]
    return rows[0] if rows else None


def wait_state(gui, main_dialog, state, timeout=60):
    return rig.wait_for(lambda: (row(gui, main_dialog) or {}).get("state") == state, timeout=timeout)


def request_from_list(gui, main_dialog):
    gui.must("select", main_dialog, LIST, 0)
    gui.must("post", main_dialog, rig.WM_COMMAND, REQUEST, 0)
    return gui.must("wait", "#32770", TOAST, 20000)["hwnd"]


def toast_text(gui, toast, control=T_MESSAGE):
    return gui.must("text", toast, control)["text"]


def wait_text(gui, toast, starts, control=T_MESSAGE, timeout=40):
    return rig.wait_for(lambda: toast_text(gui, toast, control).startswith(starts) and
                        toast_text(gui, toast, control), timeout=timeout)


def shown(gui, toast):
    return {i for i, c in gui.children(toast).items() if c["visible"] and i in (YES, NO, CANCEL)}


def toast_png(gui, paths, name):
    # The toast sits in the bottom-right corner of the 1280 x 1024 screen.
    path = os.path.join(paths.build, name)
    gui.screenshot_png(path, [1280 - 400, 1024 - 300, 1280, 1024])
    return path


def test_asking_the_holder_until_it_releases(paths, world):
    gui, sim, main_dialog = world["gui"], world["sim"], world["main"]
    wait_state(gui, main_dialog, 3)
    other = row(gui, main_dialog)["user"].upper()  # the holder's name as the library reports it
    assert other

    # Nobody listens on the holder: after 5 s the toast says so and offers only Close.
    toast = request_from_list(gui, main_dialog)
    assert toast_text(gui, toast).startswith("Asking %s to release Office Printer." % other)
    wait_text(gui, toast, "%s does not answer." % other)
    assert shown(gui, toast) == {CANCEL} and gui.must("text", toast, CANCEL)["text"] == "Close"
    gui.must("press", toast, CANCEL)
    gui.must("gone", toast, 10000)

    holder = Peer(HOLDER, PORT)
    try:
        # Busy holder.
        toast = request_from_list(gui, main_dialog)
        host, port, asked = holder.expect("REQUEST")
        assert host == "10.77.0.1" and asked["length"] == asked["total"]
        assert (asked["name"], asked["locations"], asked["vid"], asked["pid"]) == \
            (b"Office Printer", asked["locations"], 0x04B8, 0x0005) and asked["locations"]
        assert asked["mac"] == bytes.fromhex(SERVER_MAC.replace(":", "")) and asked["pc"]
        world["asked"] = asked
        answer = dict(mac=asked["mac"], vid=asked["vid"], pid=asked["pid"], name=asked["name"],
                      locations=asked["locations"], pc=b"holder-pc")
        holder.send(build(SRU["BUSY"], **answer), port=port)
        wait_text(gui, toast, "HOLDER-PC is busy")
        gui.must("press", toast, CANCEL)
        gui.must("gone", toast, 10000)
        holder.nothing()  # the exchange had ended: no cancel follows

        # Refused, asked again, accepted, released: A connects the device.
        toast = request_from_list(gui, main_dialog)
        host, port, _ = holder.expect("REQUEST")
        holder.send(build(SRU["REFUSE"], **answer), port=port)
        wait_text(gui, toast, "HOLDER-PC has not released Office Printer yet.")
        assert shown(gui, toast) == {YES, NO}
        assert toast_text(gui, toast, T_LOWER) == "Press Yes to ask again."
        gui.must("press", toast, YES)
        again = holder.expect("REQUEST")
        assert again[1] == port  # the same client window asks again
        holder.send(build(SRU["PORT"], **answer), port=port)
        holder.send(build(SRU["ACCEPT"], **answer), port=port)
        wait_text(gui, toast, "HOLDER-PC agreed to release Office Printer.")
        toast_png(gui, paths, "utility_request_toast.png")
        since = sim.mark()
        sim.give_device(SERVER, world["device"], address=None)
        holder.send(build(SRU["RELEASED"], **answer), port=port)
        gui.must("gone", toast, 60000)
        connects = rig.wait_for(lambda: [c for c in sim.commands(SERVER, since=since, kind="connect")], timeout=60)
        assert connects[0]["ok"], connects
        wait_state(gui, main_dialog, 2)
        log = rig.log_lines(paths)
        assert any(line.startswith("  Request: Office Printer released") for line in log)
    finally:
        holder.close()


def test_the_holder_answers_through_its_toast(paths, world):
    gui, sim, main_dialog = world["gui"], world["sim"], world["main"]
    wait_state(gui, main_dialog, 2)
    asked = world.get("asked")
    assert asked, "the requester road has to run first"
    record = dict(mac=asked["mac"], vid=asked["vid"], pid=asked["pid"], name=asked["name"],
                  locations=asked["locations"])
    asker, third = Peer(ASKER), Peer(THIRD)
    try:
        # A request for an unknown device is answered at once.
        asker.send(build(SRU["REQUEST"], **dict(record, name=b"Nothing Here"), pc=b"asker-one"))
        asker.expect("NOT_FOUND")

        # The answer toast; a third PC is told busy and changes nothing; No refuses.
        asker.send(build(SRU["REQUEST"], **record, pc=b"asker-one"))
        asker.expect("PORT")
        toast = gui.must("wait", "#32770", TOAST, 20000)["hwnd"]
        first = wait_text(gui, toast, "ASKER-ONE asks to use Office Printer.")
        assert toast_text(gui, toast, T_LOWER) == "The device is released when you press Yes."
        assert shown(gui, toast) == {YES, NO}
        toast_png(gui, paths, "utility_answer_toast.png")
        third.send(build(SRU["REQUEST"], **record, pc=b"third-pc"))
        third.expect("BUSY")
        asker.send(build(SRU["REQUEST"], **record, pc=b"asker-one"))
        asker.expect("PORT")  # the current peer hears the acceptance again
        assert toast_text(gui, toast) == first
        gui.must("press", toast, NO)
        asker.expect("REFUSE")
        gui.must("gone", toast, 10000)
        assert (row(gui, main_dialog) or {}).get("state") == 2

        # A withdrawn request closes the toast.
        asker.send(build(SRU["REQUEST"], **record, pc=b"asker-one"))
        asker.expect("PORT")
        toast = gui.must("wait", "#32770", TOAST, 20000)["hwnd"]
        asker.send(build(SRU["CANCEL"], **record, pc=b"asker-one"))
        gui.must("gone", toast, 10000)
        assert "*** SRU CANCEL ***" in rig.log_lines(paths)

        # Yes: accepted, disconnected, released.
        since = sim.mark()
        asker.send(build(SRU["REQUEST"], **record, pc=b"asker-one"))
        asker.expect("PORT")
        toast = gui.must("wait", "#32770", TOAST, 20000)["hwnd"]
        gui.must("press", toast, YES)
        asker.expect("ACCEPT")
        asker.expect("RELEASED", timeout=60)
        gui.must("gone", toast, 20000)
        assert rig.wait_for(lambda: sim.commands(SERVER, since=since, kind="disconnect"), timeout=30)
        wait_state(gui, main_dialog, 1)

        # A device this PC does not use is released without a toast.
        asker.send(build(SRU["REQUEST"], **record, pc=b"asker-one"))
        asker.expect("PORT")
        asker.expect("RELEASED")
        log = rig.log_lines(paths)
        for line in ("*** SRU REQUEST ***", "  From PC      :ASKER-ONE", "    --> Not Found.", "    --> Refuse.",
                     "    --> Disconnect OK."):
            assert line in log, line
    finally:
        asker.close()
        third.close()


def open_property(gui, main_dialog, name):
    gui.must("select", main_dialog, LIST, 0)
    gui.must("post", main_dialog, rig.WM_COMMAND, PROPERTY, 0)
    dialog = gui.must("wait", "#32770", "Properties of " + name, 20000)
    pages = {}
    for child in gui.must("children", dialog["hwnd"])["children"]:
        if child["class"] == "#32770":
            ids = gui.children(child["hwnd"])
            pages["device" if 1079 in ids else "options"] = child["hwnd"]
    return dialog, pages


def device_values(paths):
    code, out = rig.reg(paths, "query", rig.OPTION_KEY + r"\Pnxscapi", "/s")
    values, key = {}, None
    for line in out.splitlines():
        if line.startswith("HKEY_"):
            key = line
        parts = line.strip().split(None, 2)
        if len(parts) == 3 and parts[0] in ("RequestOption", "RequestTimer"):
            values[parts[0]] = (key, parts[1], parts[2])
    return values


def test_property_dialog_writes_what_the_library_reports_back(paths, world):
    gui, main_dialog = world["gui"], world["main"]
    dialog, pages = open_property(gui, main_dialog, "Office Printer")
    container = dialog["hwnd"]
    assert set(pages) == {"device", "options"}
    gui.screenshot_png(os.path.join(paths.build, "utility_property_dialog.png"), dialog.get("client"))

    gui.must("settext", pages["device"], 1079, "ab")
    gui.must("press", container, 1025)
    box = gui.message_box()
    assert box["text"].startswith("The name must be longer than two characters"), box
    gui.answer(box)

    gui.must("settext", pages["device"], 1079, "Lab Printer")
    gui.must("check", pages["options"], 1101, 1)
    gui.must("settext", pages["options"], 1072, "2")
    gui.must("press", container, 1025)  # Apply
    values = rig.wait_for(lambda: device_values(paths).get("RequestTimer") and device_values(paths), timeout=20)
    assert values["RequestTimer"][2] == "0x78" and values["RequestOption"][2] == "0100"
    assert values["RequestTimer"][0] == values["RequestOption"][0]
    rig.wait_for(lambda: (row(gui, main_dialog) or {}).get("name") == "Lab Printer", timeout=30)

    # Cancel after Apply keeps what was applied.
    gui.must("settext", pages["device"], 1079, "Never Kept")
    gui.must("press", container, 2)
    gui.must("gone", container, 20000)
    assert row(gui, main_dialog)["name"] == "Lab Printer"
    dialog, pages = open_property(gui, main_dialog, "Lab Printer")
    assert gui.must("text", pages["device"], 1079)["text"] == "Lab Printer"
    assert gui.children(pages["options"])[1101]["checked"]
    assert gui.must("text", pages["options"], 1072)["text"] == "2"
    gui.must("press", dialog["hwnd"], 2)
    gui.must("gone", dialog["hwnd"], 20000)


def test_a_countdown_is_announced_and_queried(paths, world):
    gui, sim, main_dialog = world["gui"], world["sim"], world["main"]
    asked = world.get("asked")
    assert asked and device_values(paths).get("RequestTimer"), "the roads above have to run first"
    gui.must("select", main_dialog, LIST, 0)
    gui.must("post", main_dialog, rig.WM_COMMAND, CONNECT, 0)
    wait_state(gui, main_dialog, 2)
    record = dict(mac=asked["mac"], vid=asked["vid"], pid=asked["pid"], name=asked["name"],
                  locations=asked["locations"], pc=b"asker-one")
    asker = Peer(ASKER)
    try:
        asker.send(build(SRU["REQUEST"], **record))
        asker.expect("PORT")
        _, _, countdown = asker.expect("COUNTDOWN")
        assert countdown["seconds"] == 120
        toast = gui.must("wait", "#32770", TOAST, 20000)["hwnd"]
        wait_text(gui, toast, "ASKER-ONE asks to use Lab Printer.")
        assert toast_text(gui, toast, T_LOWER) == "It is released in 2 minutes."
        asker.send(build(SRU["TIME_QUERY"], **record))
        _, _, time_left = asker.expect("TIME")
        assert 0 < time_left["seconds"] <= 120
        asker.send(build(SRU["CANCEL"], **record))
        gui.must("gone", toast, 10000)
    finally:
        asker.close()


if __name__ == "__main__" and len(sys.argv) == 4 and sys.argv[1] == "--peer":
    peer_main(sys.argv[2], int(sys.argv[3]))
