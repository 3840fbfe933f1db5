"""The utility's connect road end to end: QuelboZovu.exe with the real Pnxscapi.dll against the
simulator, whose connect and disconnect answers have the simulated bus driver attach and detach
the ports (the bridge on the main bus, which the utility opens).

One road: a button connect with its progress dialog; a disconnect asked about and refused; a
tray-menu disconnect asked about and confirmed, while a second connect joins the running
batch; a connect the server denies; a tray-menu connect; a system suspend that disconnects
both devices and the resume that connects them again; an exit asked about while a log-off
comes.  The tray menu is chosen with posted keys; it lists the devices in list order.
"""

import os
import sys

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "sim"))
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "guidriver"))

import utility_rig as rig  # noqa: E402

SERVER = "10.77.0.46"
THIS_PC = "10.77.0.1"
SCANNER, DISK, DENIED = "Lab Scanner", "Backup Disk", "Denied Disk"
LIST, TREE, CONNECT, DISCONNECT = 1082, 1099, 1019, 1020
PROGRESS_CLOSE, CONFIRM_CHECK = 1104, 1047
UM_TRAY_CALLBACK, WM_RBUTTONUP, WM_POWERBROADCAST = 0x81F6, 0x0205, 0x0218
PBT_APMQUERYSUSPEND, PBT_APMSUSPEND, PBT_APMRESUMESUSPEND, PBT_APMRESUMEAUTOMATIC = 0x0, 0x4, 0x7, 0x12
BROADCAST_QUERY_DENY = 0x424D5144
WM_QUERYENDSESSION, ENDSESSION_LOGOFF, IDNO = 0x0011, 0x80000000, 7
FREE, CONNECTED = 1, 2


@pytest.fixture
def road(paths, lan_ns):
    with rig.bridged_simulator(paths, lan_ns, [SERVER], THIS_PC) as (sim, bridge, start):
        sim.identity(SERVER, host="LAB-CONNECT", model="QZ-7000")
        # No printers: a new printer would start the automatic printer set-up of its own.
        # The scanner attaches seconds after the server's OK, so that its progress dialogs
        # stand long enough to be found and photographed: each look is a program start,
        # which took over 4 s on a loaded machine (the library waits 20 s for the attach).
        sim.plug(SERVER, name=SCANNER, port="1", location="1-1", vid=0x04B8, pid=0x0131,
                 interfaces=[[6, 1]], attach="slow", attach_delay=8.0)
        sim.plug(SERVER, name=DISK, port="2", location="1-2", interfaces=[[8, 6]])
        sim.plug(SERVER, name=DENIED, port="3", location="1-3", connect_answer="deny")
        start()
        yield Road(paths, rig.Gui(paths), sim, bridge)


class Road:
    def __init__(self, paths, gui, sim, bridge):
        self.paths, self.gui, self.sim, self.bridge = paths, gui, sim, bridge
        self.dialog = gui.must("wait", "#32770", rig.TITLE, 60000)
        self.main = gui.must("find", rig.CLASS, rig.TITLE, 20000)["hwnd"]

    def rows(self):
        rows = self.gui.must("rows", self.dialog["hwnd"], LIST)["list"]["rows"]
        return [r for r in rows if "name" in r]

    def row(self, name):
        return [r for r in self.rows() if r["name"] == name][0]

    def tree_state(self, name):
        items = self.gui.must("treeitems", self.dialog["hwnd"], TREE)["items"]
        return [d["stateRow"] for s in items for d in s["children"] if d.get("name") == name]

    def states(self):
        return {r["name"]: r["state"] for r in self.rows()}

    def wait_states(self, **wanted):
        names = {"scanner": SCANNER, "disk": DISK, "denied": DENIED}
        want = {names[k]: v for k, v in wanted.items()}
        rig.wait_for(lambda: all(self.states().get(n) == s for n, s in want.items()), timeout=60)

    def attached(self):
        return sorted(loc for (ip, loc) in self.bridge.ports() if ip == SERVER)

    def press_on(self, name, button):
        index = [r["name"] for r in self.rows()].index(name)
        self.gui.must("selectonly", self.dialog["hwnd"], LIST, index)
        self.gui.must("press", self.dialog["hwnd"], button)

    def progress(self):
        return self.gui.must("dialog", PROGRESS_CLOSE, 30000)

    def done(self, progress):
        self.gui.must("gone", progress["hwnd"], 120000)

    def confirm(self):
        return self.gui.must("dialog", CONFIRM_CHECK, 30000)

    def tray_choose(self, name, item, shot=None):
        """Chooses item 0 (connect), 1 (disconnect) ... of the device's tray sub-menu; the
        menu lists the devices (all free or connected here) in list order."""
        at = [r["name"] for r in self.rows()].index(name)
        self.gui.must("post", self.main, UM_TRAY_CALLBACK, 0, WM_RBUTTONUP)
        menu = self.gui.must("menus", 20000)["menus"][0]
        self.gui.must("keys", menu["hwnd"], *(["down"] * (at + 1) + ["right"]))

        # The keys that follow go to the sub-menu only once it is open.
        def submenu_open():
            menus = self.gui.must("menus", 20000)["menus"]
            return menus if len(menus) > 1 else None
        menus = rig.wait_for(submenu_open, timeout=30)
        if shot:
            left = min(m["rect"][0] for m in menus) - 8
            top = min(m["rect"][1] for m in menus) - 8
            right = max(m["rect"][2] for m in menus) + 8
            bottom = max(m["rect"][3] for m in menus) + 8
            self.gui.screenshot_png(shot, [left, top, right, bottom])
        self.gui.must("keys", menu["hwnd"], *(["down"] * item + ["enter"]))

    def suspends(self):
        return rig.library_log(self.paths).count("PnxSuspendService()")


def test_connect_road(paths, road):
    r = road
    r.wait_states(scanner=FREE, disk=FREE, denied=FREE)

    # A free device, Connect: the progress dialog stands until PNXN_COMPLETE, meanwhile the
    # port is attached; then the list and the tree show it connected.
    r.press_on(SCANNER, CONNECT)
    progress = r.progress()
    main_rect = r.dialog["rect"]
    rect = [min(main_rect[0], progress["rect"][0]), min(main_rect[1], progress["rect"][1]),
            max(main_rect[2], progress["rect"][2]), max(main_rect[3], progress["rect"][3])]
    r.gui.screenshot_png(os.path.join(paths.build, "utility_progress.png"), rect)
    rig.wait_for(lambda: r.attached() == ["1-1"], timeout=60)
    r.done(progress)
    r.wait_states(scanner=CONNECTED)
    assert r.row(SCANNER)["stateRow"] == CONNECTED and r.tree_state(SCANNER) == [CONNECTED]
    [command] = r.sim.commands(SERVER, kind="connect")
    assert command["ok"] and command["answer"] == "OK" and command["address"] == THIS_PC
    lines = rig.log_lines(paths)
    assert "*** Connect Event(Other) ***" in lines
    assert "  Lab Scanner: Event: End., Error: No error., Action: By Button." in lines

    # Disconnect with PermitMessage on asks first; No keeps the device.
    r.press_on(SCANNER, DISCONNECT)
    progress = r.progress()
    confirm = r.confirm()
    text = r.gui.must("text", confirm["hwnd"], 1053)["text"].replace("\r", "")
    assert text == "Lab Scanner is in use.\nDisconnect it anyway?"
    # While a batch runs, the system is asked not to suspend.
    answer = r.gui.must("send", r.main, WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, 0)["result"]
    assert answer == BROADCAST_QUERY_DENY
    r.gui.must("press", confirm["hwnd"], 2)
    r.done(progress)
    assert r.attached() == ["1-1"] and r.sim.commands(SERVER, kind="disconnect") == []
    assert r.states()[SCANNER] == CONNECTED

    # The tray menu lists the devices in list order with their states, the scanner connected;
    # its DISCONNECT asks too, and a connect pressed while that question stands joins the running batch: one
    # suspension of the library, and the disk is attached before the dialog ends.
    suspends = r.suspends()
    r.tray_choose(SCANNER, 1, shot=os.path.join(paths.build, "utility_tray_menu.png"))
    progress = r.progress()
    confirm = r.confirm()
    r.press_on(DISK, CONNECT)
    r.gui.must("press", confirm["hwnd"], 1)
    r.done(progress)
    assert r.attached() == ["1-2"] and r.suspends() == suspends + 1
    r.wait_states(scanner=FREE, disk=CONNECTED)

    # A connect that the server denies ends with MESSAGE12 naming the device.
    r.press_on(DENIED, CONNECT)
    progress = r.progress()
    box = r.gui.message_box()
    assert box["text"] == "Denied Disk could not be connected."
    r.gui.answer(box)
    r.done(progress)
    assert "[MessageBox] : MESSAGE12" in rig.log_lines(paths) and r.states()[DENIED] == FREE

    # The tray menu's CONNECT connects.
    r.tray_choose(SCANNER, 0)
    r.done(r.progress())
    assert r.attached() == ["1-1", "1-2"]
    r.wait_states(scanner=CONNECTED, disk=CONNECTED)

    # A system suspend disconnects both without a question and remembers them; the resume
    # connects them again. Windows since Vista announces the suspend without asking first and
    # resumes with two messages when a user is there.
    r.gui.must("post", r.main, WM_POWERBROADCAST, PBT_APMSUSPEND, 0)
    rig.wait_for(lambda: r.attached() == [], timeout=120)
    rig.wait_for(lambda: not r.gui("dialog", PROGRESS_CLOSE, 0)["ok"], timeout=60)
    r.gui.must("post", r.main, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0)
    r.gui.must("post", r.main, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0)
    rig.wait_for(lambda: r.attached() == ["1-1", "1-2"], timeout=120)
    r.wait_states(scanner=CONNECTED, disk=CONNECTED)

    # The tray's PROPERTY opens the scanner's property dialog: its row becomes the only selected
    # and the focused row of the list (the disk was selected).
    r.gui.must("selectonly", r.dialog["hwnd"], LIST, [row["name"] for row in r.rows()].index(DISK))
    r.tray_choose(SCANNER, 3)
    dialog = r.gui.must("wait", "#32770", "Properties of " + SCANNER, 20000)
    marks = {row["name"]: (row["selected"], row["focused"]) for row in r.rows()}
    assert marks == {SCANNER: (True, True), DISK: (False, False), DENIED: (False, False)}, marks
    main_rect, rect = r.dialog["rect"], dialog["rect"]
    r.gui.screenshot_png(os.path.join(paths.build, "utility_property_selected.png"),
                         [min(main_rect[0], rect[0]), min(main_rect[1], rect[1]),
                          max(main_rect[2], rect[2]), max(main_rect[3], rect[3])])
    r.gui.must("press", dialog["hwnd"], 2)
    r.gui.must("gone", dialog["hwnd"], 20000)

    # Exit with devices in use asks first. A log-off while that question stands is held and
    # only marked (no second exit runs inside the first), the next query is let through, and
    # No keeps the utility running with both devices.
    r.gui.must("post", r.main, rig.UM_EXIT, 0, 0)
    box = r.gui.message_box()
    assert box["text"].startswith("USB devices are still connected to this computer."), box
    assert r.gui.must("send", r.main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF)["result"] == 0
    assert r.gui.must("send", r.main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF)["result"] == 1
    assert r.gui.message_box(2000)["hwnd"] == box["hwnd"]
    r.gui.answer(box, IDNO)
    assert r.gui.must("find", rig.CLASS, rig.TITLE, 5000)["hwnd"] == r.main
    assert r.attached() == ["1-1", "1-2"] and r.states() == {SCANNER: CONNECTED, DISK: CONNECTED, DENIED: FREE}
    assert rig.log_lines(paths).count("[MessageBox] : MESSAGE01") == 1
