"""Asking another PC to release a device, and the device's property dialog, end to end.

The running utility (PC A, 10.77.0.1) talks over UDP 49300 with stand-in peers in the LAN
namespace: a holder at 10.77.0.50 and requesters at 10.77.0.51 and 10.77.0.52, each a small
socket program (this file run with --peer) that prints what it receives and sends what the
test tells it. A asks the stand-in holder for a device the simulator says it uses (no answer,
busy, refused then asked again, accepted and released: A connects it, and a stranger's or a
second final answer changes nothing); then A holds the device and answers stand-in requesters
through its answer toast (a third PC is told busy, No refuses, Yes disconnects and releases, a
countdown is announced and queried, a withdrawn request closes the toast, after which the tray
icon, read by a stand-in notification area, signals the balloon still queued). The property dialog opened from the list writes the name the
library then reports back and the request options into the device's registry key; Cancel
after Apply keeps what was applied. Last, a second utility (PC B) runs in a network namespace,
Wine prefix and X server of its own, and the two hand the device over for real.
"""

import copy
import json
import os
import queue
import re
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
LIST, CONNECT, PROPERTY, REQUEST, REFRESH = 1082, 1019, 1018, 1023, 1024
PROGRESS_CLOSE = 1104
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
    lock = threading.Lock()

    def say(line):
        # One write per line under a lock: print() writes the text and its newline apart, and
        # a "sent" from the other thread could land between them.
        with lock:
            sys.stdout.write(line + "\n")
            sys.stdout.flush()
    say("ready %d" % sock.getsockname()[1])

    def reader():
        while True:
            data, sender = sock.recvfrom(8192)
            say("%s %d %s" % (sender[0], sender[1], data.hex()))
    threading.Thread(target=reader, daemon=True).start()
    for line in sys.stdin:
        host, to_port, hexdata = line.split()
        sock.sendto(bytes.fromhex(hexdata), (host, int(to_port)))
        say("sent")


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
        self.sent = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            if line.startswith("sent"):
                self.sent.put(True)
                continue
            try:
                host, port, hexdata = line.split()
                self.received.put((host, int(port), parse(bytes.fromhex(hexdata))))
            except (ValueError, struct.error):
                # Put where expect() shows it, instead of ending this reader unseen.
                self.received.put(("?", 0, dict(command=None, line=line)))

    def send(self, packet, host="10.77.0.1", port=PORT, wait=False):
        """`wait`: returns once the datagram has left the peer's socket."""
        self.proc.stdin.write("%s %d %s\n" % (host, port, packet.hex()))
        self.proc.stdin.flush()
        if wait:
            self.sent.get(timeout=30)

    def drain(self):
        """Forgets the datagrams received so far."""
        while not self.received.empty():
            self.received.get_nowait()

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
    rig.fresh_prefix(paths)
    option = rig.OPTION_KEY + r"\Option"
    rig.reg(paths, "add", option, "/v", "PermitMessage", "/t", "REG_BINARY", "/d", "00", "/f")
    rig.reg(paths, "add", option, "/v", "StatusTimer", "/t", "REG_DWORD", "/d", "3000", "/f")
    bridge = BusBridge(paths.wine_run, os.path.join(paths.bin, "zkuptp_bridge.exe"), "10.77.0.1", seconds=900)
    sim = Simulator([SERVER], netns=lan_ns, discovery=True, max_seconds=590)
    sim.start()
    sim.identity(SERVER, host="LAB-HUB", model="QZ-7000", mac=SERVER_MAC)
    sim.set_bridge(*bridge.address)
    device = sim.plug(SERVER, name="Office Printer", port="1", vid=0x04B8, pid=0x0005, location="1-1")
    sim.give_device(SERVER, device, address=HOLDER, name="holder-pc")
    gui = rig.Gui(paths)
    tray = rig.Tray(paths, "utility_request_tray.txt")
    utility = rig.Utility(paths, ["-dlog", "-m"])
    main_dialog = gui.must("wait", "#32770", rig.TITLE, 60000)["hwnd"]
    yield dict(gui=gui, sim=sim, device=device, main=main_dialog, bridge=bridge, tray=tray)
    utility.close(gui)
    tray.close()
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
    # Each look at the toast is a program start of its own, which takes seconds on a loaded
    # machine: the first look may come after the 5 s already.
    toast = request_from_list(gui, main_dialog)
    first = toast_text(gui, toast)
    assert first.startswith(("Asking %s to release Office Printer." % other, "%s does not answer." % other)), first
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

        # The holder's address from another port is not the holder: its busy answer is ignored.
        # The holder's countdown of 30 s has A ask for the time every second.
        stranger = Peer(HOLDER)
        try:
            stranger.send(build(SRU["BUSY"], **answer), port=port, wait=True)
        finally:
            stranger.close()
        holder.send(build(SRU["COUNTDOWN"], **answer, seconds=30), port=port)
        wait_text(gui, toast, "It is released in 30 seconds.", control=T_LOWER)
        assert toast_text(gui, toast).startswith("HOLDER-PC agreed"), toast_text(gui, toast)
        holder.expect("TIME_QUERY", timeout=10)

        # Released: A connects, and the device attaches 20 s after the server's OK. The exchange
        # ended with the release: during the connect the holder hears no further time query,
        # and a second final answer (a duplicate, or a spoof from the holder's address) ends
        # nothing again.
        since = sim.mark()
        sim.update_device(SERVER, world["device"], attach="slow", attach_delay=20.0)
        sim.give_device(SERVER, world["device"], address=None)
        holder.send(build(SRU["TIME"], **answer, seconds=25), port=port)
        holder.send(build(SRU["RELEASED"], **answer), port=port)
        progress = gui.must("dialog", PROGRESS_CLOSE, 30000)
        holder.drain()  # the queries asked before the release
        holder.nothing(timeout=3)
        holder.send(build(SRU["BUSY"], **answer), port=port, wait=True)
        holder.nothing(timeout=2)
        assert toast_text(gui, toast).startswith("Office Printer was released"), toast_text(gui, toast)
        gui.must("gone", progress["hwnd"], 60000)
        gui.must("gone", toast, 60000)
        sim.update_device(SERVER, world["device"], attach="normal")
        connects = rig.wait_for(lambda: [c for c in sim.commands(SERVER, since=since, kind="connect")], timeout=60)
        assert connects[0]["ok"] and len(connects) == 1, connects
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

        # A withdrawn request closes the toast. A balloon is queued meanwhile (the server's
        # over-current): the tray icon plays the request frames while the toast stands and the
        # error frames once it has closed, not the still icon.
        tray = world["tray"]
        sim.identity(SERVER, function_flags=0x82)
        gui.must("post", main_dialog, rig.WM_COMMAND, REFRESH, 0)
        rig.wait_for(lambda: any(" balloon " in line for line in tray.lines()), timeout=60)
        mark = len(tray.lines())
        asker.send(build(SRU["REQUEST"], **record, pc=b"asker-one"))
        asker.expect("PORT")
        toast = gui.must("wait", "#32770", TOAST, 20000)["hwnd"]
        asker.send(build(SRU["CANCEL"], **record, pc=b"asker-one"))
        gui.must("gone", toast, 10000)
        assert "*** SRU CANCEL ***" in rig.log_lines(paths)

        def after_toast():
            icons = tray.icons(mark)
            request = [i for i, icon in enumerate(icons) if 192 <= icon <= 201]
            after = icons[request[-1] + 1:] if request else []
            return after if 182 in after else None
        after = rig.wait_for(after_toast, timeout=30, seen=lambda: tray.lines()[mark:])
        assert after[0] == 182 and all(182 <= icon <= 191 for icon in after), tray.icons(mark)
        sim.identity(SERVER, function_flags=0)
        gui.must("post", main_dialog, rig.WM_COMMAND, REFRESH, 0)  # and the queue is emptied

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

    # Cancel after Apply keeps what was applied.
    gui.must("settext", pages["device"], 1079, "Never Kept")
    gui.must("press", container, 2)
    gui.must("gone", container, 20000)
    # Reopened, the dialog shows what the library reports for the device now.
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
        try:
            _, _, time_left = asker.expect("TIME")
        except queue.Empty:
            # Say whether the holder went deaf or lost only this datagram.
            asker.send(build(SRU["TIME_QUERY"], **record))
            try:
                again = asker.received.get(timeout=30)
            except queue.Empty:
                again = "no answer either"
            raise AssertionError("no answer to the time query; asked again: %r" % (again,))
        assert 0 < time_left["seconds"] <= 120
        asker.send(build(SRU["CANCEL"], **record))
        gui.must("gone", toast, 10000)
    finally:
        asker.close()


PC_B = "10.77.0.62"  # inside the test network's /24, above the simulators' .2 to .61
PC_B_NAME = "QZ-PC-B"
SERVER_WINDOW = ("PNX.REQUEST.USE.CLASS.C094.Quelbo Plus", "PNX.REQUEST.SERVER.C094.Quelbo Plus")
WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, WTS_SESSION_UNLOCK = 0x02B1, 7, 8


def sh(*args):
    subprocess.run(args, check=True, stdin=subprocess.DEVNULL, capture_output=True, timeout=60)


class SecondPc:
    """PC B: a network namespace of its own joined to PC A's and to the LAN's by veth pairs,
    with the address 10.77.0.62 on both links and host routes toward it; its own host name,
    X server, Wine prefix (build/x64/wineprefix_pcb) with its desktop keeper, simulated bus
    driver and bridge."""

    def __init__(self, paths):
        tag = os.getpid() % 100000
        self.ns = "qzpcb%d" % tag
        self.links = ("qzba%d" % tag, "qzab%d" % tag, "qzbl%d" % tag, "qzlb%d" % tag)
        to_a, from_a, to_lan, from_lan = self.links
        lan = os.environ["QZ_LAN_NS"]
        sh("ip", "netns", "add", self.ns)
        sh("ip", "link", "add", to_a, "type", "veth", "peer", "name", from_a)
        sh("ip", "link", "add", to_lan, "type", "veth", "peer", "name", from_lan)
        sh("ip", "link", "set", to_a, "netns", self.ns)
        sh("ip", "link", "set", to_lan, "netns", self.ns)
        sh("ip", "link", "set", from_lan, "netns", lan)
        inside = ["ip", "-n", self.ns]
        sh(*inside, "addr", "add", PC_B + "/32", "dev", to_a)
        sh(*inside, "addr", "add", PC_B + "/24", "broadcast", "10.77.0.255", "dev", to_lan)
        for link in ("lo", to_a, to_lan):
            sh(*inside, "link", "set", link, "up")
        sh(*inside, "route", "add", "10.77.0.1/32", "dev", to_a)
        sh(*inside, "route", "add", "default", "dev", to_lan)
        sh("ip", "link", "set", from_a, "up")
        sh("ip", "route", "add", PC_B + "/32", "dev", from_a)
        sh("ip", "-n", lan, "link", "set", from_lan, "up")
        sh("ip", "-n", lan, "route", "add", PC_B + "/32", "dev", from_lan)

        # B's own screen. An X client finds its server by the abstract socket of its network
        # namespace first and only then by the file in /tmp/.X11-unix, which another X server of
        # the machine (with the same display number in a namespace of its own) may have taken:
        # through A's display, B's Wine would now and then reach no server, or the wrong one.
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(["ip", "netns", "exec", self.ns, "Xvfb", "-displayfd", str(write), "-screen", "0",
                                      "1280x1024x24", "-nolisten", "tcp"], pass_fds=(write,),
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as display:
            self.display = ":" + display.readline().strip()
        assert self.display != ":", "PC B's X server did not start"

        self.paths = copy.copy(paths)
        self.paths.prefix = os.path.join(paths.build, "wineprefix_pcb")
        inner = os.path.join(paths.build, "wine-run-pcb.inner")
        text = open(paths.wine_run).read()
        text = re.sub(r'^export WINEPREFIX=.*$', 'export WINEPREFIX="%s"' % self.paths.prefix, text, flags=re.M)
        with open(inner, "w") as f:
            f.write(text)
        wrapper = os.path.join(paths.build, "wine-run-pcb")
        with open(wrapper, "w") as f:
            f.write('#!/usr/bin/env bash\n# PC B of the request test: its namespace, host name, screen and prefix.\n'
                    'export DISPLAY=%s\n'
                    'exec ip netns exec %s unshare --uts bash -c \'hostname %s && exec bash "$0" "$@"\' %s "$@"\n'
                    % (self.display, self.ns, PC_B_NAME.lower(), inner))
        os.chmod(wrapper, 0o755)
        self.paths.wine_run = wrapper
        self.gui = rig.Gui(self.paths)
        self.utility = self.bridge = self.keeper = None

    def keep_desktop(self):
        """Starts B's session with its desktop keeper (as tools/run-tests.sh does for A's): Wine
        closes a prefix's desktop a second after its last program ends, and a program started
        meanwhile gets no window. The first start also creates the prefix."""
        self.keeper = subprocess.Popen([self.paths.wine_run, os.path.join(self.paths.bin, "session_keeper.exe")],
                                       stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        ready = queue.Queue()
        threading.Thread(target=lambda: ready.put(self.keeper.stdout.readline()), daemon=True).start()
        assert ready.get(timeout=240).strip() == b"ready", "PC B's session keeper did not start"

    def start(self, sim):
        self.keep_desktop()
        done = subprocess.run([self.paths.wine_run, os.path.join(self.paths.bin, "zkuptp_install.exe"), "install"],
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=300)
        assert done.returncode == 0, done.stderr[-500:]
        rig.fresh_prefix(self.paths)
        option = rig.OPTION_KEY + r"\Option"
        rig.reg(self.paths, "add", option, "/v", "PermitMessage", "/t", "REG_BINARY", "/d", "00", "/f")
        rig.reg(self.paths, "add", option, "/v", "StatusTimer", "/t", "REG_DWORD", "/d", "3000", "/f")
        # Bound to any address: Wine ties a socket bound to one address to the first interface
        # holding it (here the link toward A), and the simulator's commands come over the LAN link.
        self.bridge = BusBridge(self.paths.wine_run, os.path.join(self.paths.bin, "zkuptp_bridge.exe"), "0.0.0.0",
                                seconds=600)
        self.bridge.address = (PC_B, self.bridge.address[1])
        sim.set_bridge(*self.bridge.address, pc=PC_B)
        self.utility = rig.Utility(self.paths, ["-dlog", "-m"])
        # A fresh prefix's first program start takes long: look several times.
        def up():
            found = self.gui("wait", "#32770", rig.TITLE, 30000).get("hwnd")
            assert found or self.utility.proc.poll() is None, \
                "PC B's utility ended during start-up: %r" % rig.log_lines(self.paths)[-5:]
            return found
        return rig.wait_for(up, timeout=300, step=1)

    def close(self):
        try:
            if self.utility:
                self.utility.close(self.gui)
            if self.bridge:
                self.bridge.close()
            subprocess.run([self.paths.wine_run, os.path.join(self.paths.bin, "zkuptp_install.exe"), "remove"],
                           stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
            if self.keeper:
                self.keeper.stdin.close()  # the keeper ends with its input
                try:
                    self.keeper.wait(timeout=30)
                except subprocess.TimeoutExpired:
                    self.keeper.kill()
            subprocess.run(["ip", "netns", "exec", self.ns, "env", "WINEPREFIX=" + self.paths.prefix,
                            "/usr/lib/wine/wineserver", "-k"], capture_output=True, timeout=60)
            self.xvfb.terminate()
            self.xvfb.wait(timeout=30)
        finally:
            pids = subprocess.run(["ip", "netns", "pids", self.ns], capture_output=True, text=True).stdout.split()
            for pid in pids:
                subprocess.run(["kill", "-9", pid], capture_output=True)
            subprocess.run(["ip", "route", "del", PC_B + "/32"], capture_output=True)
            subprocess.run(["ip", "link", "del", self.links[1]], capture_output=True)
            subprocess.run(["ip", "-n", os.environ["QZ_LAN_NS"], "link", "del", self.links[3]], capture_output=True)
            subprocess.run(["ip", "netns", "del", self.ns], capture_output=True)


def test_two_pcs_hand_a_device_over(paths, world):
    gui_a, sim, main_a = world["gui"], world["sim"], world["main"]
    bridge_a = world["bridge"]
    if (row(gui_a, main_a) or {}).get("state") != 2:
        gui_a.must("select", main_a, LIST, 0)
        gui_a.must("post", main_a, rig.WM_COMMAND, CONNECT, 0)
    wait_state(gui_a, main_a, 2)
    assert bridge_a.ports()[(SERVER, "1-1")]["attached"] == "1"
    pc_b = SecondPc(paths)
    try:
        main_b = pc_b.start(sim)
        gui_b = pc_b.gui
        wait_state(gui_b, main_b, 3, timeout=90)

        # B asks; A counts down (its options say 2 minutes), its user says Yes; A disconnects and
        # B connects.
        since = sim.mark()
        toast_b = request_from_list(gui_b, main_b)
        toast_a = gui_a.must("wait", "#32770", TOAST, 20000)["hwnd"]
        wait_text(gui_a, toast_a, "%s asks to use Lab Printer." % PC_B_NAME)
        assert toast_text(gui_a, toast_a, T_LOWER) == "It is released in 2 minutes."
        wait_text(gui_b, toast_b, "It is released in 2 minutes.", control=T_LOWER)
        toast_png(gui_a, paths, "utility_two_pc_answer_a.png")  # each PC's own screen
        toast_png(gui_b, paths, "utility_two_pc_request_b.png")
        gui_a.must("press", toast_a, YES)
        gui_a.must("gone", toast_a, 60000)
        try:
            gui_b.must("gone", toast_b, 60000)
        except AssertionError:
            # What the simulator and B's bridge saw, for the report of the failure.
            print("commands:", sim.commands(SERVER, since=since), "bridge:", sim.bridge_traffic(since),
                  "ports of B:", pc_b.bridge.ports())
            raise
        wait_state(gui_b, main_b, 2)
        wait_state(gui_a, main_a, 3)
        commands = [(c["command"], c["address"], c["ok"]) for c in sim.commands(SERVER, since=since)]
        assert commands == [("disconnect", "10.77.0.1", True), ("connect", PC_B, True)], commands
        rig.wait_for(lambda: bridge_a.ports().get((SERVER, "1-1"), {}).get("attached") != "1", timeout=20)
        rig.wait_for(lambda: pc_b.bridge.ports().get((SERVER, "1-1"), {}).get("attached") == "1", timeout=20)
        log_a = rig.log_lines(paths)
        assert "  From PC      :%s" % PC_B_NAME in log_a

        # B's socket is closed while its session is locked: A's request goes unanswered.
        server_b = gui_b.must("find", *SERVER_WINDOW, 5000)["hwnd"]
        gui_b.must("send", server_b, WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 1)
        # A knows B by what its library reports as the device's user (the test network has no
        # reverse name lookup: the address).
        b_listed = row(gui_a, main_a)["user"].upper()
        toast_a = request_from_list(gui_a, main_a)
        wait_text(gui_a, toast_a, "%s does not answer." % b_listed)
        gui_a.must("press", toast_a, CANCEL)
        gui_a.must("gone", toast_a, 10000)
        gui_b.must("send", server_b, WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 1)

        # A asks again; a third PC asking B meanwhile is told busy; B's user says No.
        toast_a = request_from_list(gui_a, main_a)
        toast_b = gui_b.must("wait", "#32770", TOAST, 20000)["hwnd"]
        asking = rig.wait_for(lambda: "asks to use Office Printer." in toast_text(gui_b, toast_b) and
                              toast_text(gui_b, toast_b), timeout=30)
        third = Peer(THIRD)
        try:
            asked = world["asked"]
            third.send(build(SRU["REQUEST"], asked["mac"], asked["vid"], asked["pid"], asked["name"],
                             asked["locations"], b"third-pc"), host=PC_B)
            third.expect("BUSY")
        finally:
            third.close()
        assert toast_text(gui_b, toast_b) == asking
        gui_b.must("press", toast_b, NO)
        gui_b.must("gone", toast_b, 10000)
        wait_text(gui_a, toast_a, "%s has not released Lab Printer yet." % PC_B_NAME)
        gui_a.must("press", toast_a, NO)
        gui_a.must("gone", toast_a, 10000)
        assert (row(gui_b, main_b) or {}).get("state") == 2
        assert "    --> Refuse." in rig.log_lines(pc_b.paths)
    finally:
        pc_b.close()


if __name__ == "__main__" and len(sys.argv) == 4 and sys.argv[1] == "--peer":
    peer_main(sys.argv[2], int(sys.argv[3]))
