"""The utility's device list and server tree end to end: QuelboZovu.exe with the real
Pnxscapi.dll against the simulator.

One road: every simulated server, USB device and storage share appears in the list and in the
tree with its class, name and state; an unplug, a replug, a hand-over to another PC, a server
rename and a lost server change both views and the log; an over-current gives one balloon, shown
again at once when REFRESH reports it anew, and its clearing withdraws it (the tray calls are
read by a stand-in notification area); a server's SERVER command opens its web page and a
share's OPEN explores it (through the prefix's associations); sorting by each column and
shown and hidden columns survive a restart; storage rows show their free space and their
commands reach the library.
"""

import os
import shutil
import sys
import time

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "sim"))
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "guidriver"))

from simctl import Simulator  # noqa: E402
import utility_rig as rig  # noqa: E402

PRINT, DISK, BARE = "10.77.0.43", "10.77.0.44", "10.77.0.45"
SERVERS = [PRINT, DISK, BARE]
LIST, TREE, REFRESH, SWITCH = 1082, 1099, 1024, 1095
WM_COMMAND = 0x0111
COLUMN_MENU = 0x8014  # + column id
STORAGE_MOUNT, STORAGE_OPEN, STORAGE_REMOVE, SERVER_PAGE = 0x8205, 0x8206, 0x8207, 0x8202
FREE, OTHER_PC, MOUNTED = 1, 3, 7
IMAGING, STORAGE, AUDIO, HID, OTHER, NAS = 2, 3, 4, 6, 7, 8
SCREENSHOTS = {"list": "utility_views_list.png", "tree": "utility_views_tree.png"}


@pytest.fixture(scope="module")
def gui(paths):
    with rig.accepted_driver(paths):
        yield rig.Gui(paths)


@pytest.fixture
def sim(lan_ns):
    with Simulator(SERVERS, netns=lan_ns, discovery=True, max_seconds=280) as s:
        s.identity(PRINT, host="LAB-PRINT", model="QZ-7000")
        s.identity(DISK, host="LAB-DISK", model="QZ-5400", storage=True)
        s.identity(BARE, host="", model="QZ-3000")
        # No printer: a free printer would start an automatic-print connect, whose batch holds
        # the library for its whole wait.
        s.plug(PRINT, name="Label Maker", location="1-1", interfaces=[[9, 0]])
        s.plug(PRINT, name="Flatbed Scan", location="1-2", port="2", interfaces=[[255, 0]])
        s.plug(PRINT, name="Keyboard", location="1-3", port="3", interfaces=[[3, 1]])
        s.plug(DISK, name="USB Stick", location="1-1", interfaces=[[8, 6]])
        s.add_storage(DISK, "USB1", text="Disk on port 2", shares=[
            dict(label="Docs", name="docs", value1=2000, value2=500),
            dict(label="Music", name="music", value1=2000, value2=500)])
        s.add_storage(DISK, "USB2", text="Disk on port 3", shares=[dict(label="Backup", name="backup",
                                                                        value1=8388608, value2=1)])
        s.plug(BARE, name="Headset", location="1-1", interfaces=[[1, 1]])
        yield s


class Views:
    """The running utility's main dialog, its list and its tree."""

    def __init__(self, paths, gui):
        self.paths, self.gui = paths, gui
        self.utility = rig.Utility(paths, ("-dlog", "-m"))
        self.window = gui.must("wait", "#32770", rig.TITLE, 60000)
        self.dialog = self.window["hwnd"]

    def photograph(self, name):
        """The dialog as it shows now (after its pending paints)."""
        time.sleep(1.5)
        self.gui.screenshot_png(os.path.join(self.paths.build, name), self.window["client"])

    def rows(self):
        return self.gui.must("rows", self.dialog, LIST)["list"]

    def tree(self):
        return self.gui.must("treeitems", self.dialog, TREE)["items"]

    def command(self, command_id):
        self.gui.must("post", self.dialog, WM_COMMAND, command_id, 0)

    def refresh(self):
        self.command(REFRESH)

    def until(self, condition, timeout=40, refresh=False):
        """Waits for `condition(rows, tree)`; with `refresh`, REFRESH is pressed now and then."""
        state = {"n": 0, "last": None}

        def check():
            state["n"] += 1
            if refresh and state["n"] % 8 == 1:
                self.refresh()
            rows, tree = self.rows(), self.tree()
            state["last"] = (rows, tree)
            return (rows, tree) if condition(rows, tree) else None

        try:
            return rig.wait_for(check, timeout=timeout, step=0.5)
        except AssertionError:
            if state["last"] is None:
                raise  # not one read succeeded: its own error says why
            rows, tree = state["last"]
            raise AssertionError("views: %r / %r" % (
                [(r.get("name"), r.get("stateRow"), r.get("host"), r.get("user"), r["cells"]) for r in rows["rows"]],
                [(s["text"], s["status"], [(c["name"], c["stateRow"]) for c in s["children"]]) for s in tree]))

    def exit(self):
        main = self.gui.must("find", rig.CLASS, rig.TITLE, 20000)
        self.gui.must("post", main["hwnd"], rig.UM_EXIT, 0, 0)
        assert self.utility.wait(60) == 0


def by_name(rows):
    return {r["name"]: r for r in rows["rows"]}


def servers(tree):
    return {s.get("host") or s.get("address"): s for s in tree}


def header_ids(rows):
    return [h["id"] for h in rows["header"]]


def after(lines, marker):
    """The lines after the last occurrence of `marker`."""
    return lines[len(lines) - lines[::-1].index(marker):] if marker in lines else []


def everything_listed(rows, tree):
    names = by_name(rows)
    return (len(names) == 8 and all(r["stateRow"] in (FREE, MOUNTED) for r in names.values())
            and sum(len(s["children"]) for s in tree) == 8)


def test_views_follow_the_servers_their_devices_and_storage(paths, gui, sim):
    rig.reset_registry(paths)
    rig.clear_logs(paths)
    rig.reg(paths, "add", rig.OPTION_KEY + r"\Option", "/v", "StatusTimer", "/t", "REG_DWORD", "/d", "3000", "/f")
    tray = rig.Tray(paths, "utility_views_tray.txt")
    shell = rig.ShellRecord(paths, "utility_views_shell.txt")
    # The disk server's share as the shell finds it: Wine reaches a UNC path through the
    # prefix's dosdevices/unc folder.
    share = os.path.join(paths.prefix, "dosdevices", "unc", DISK, "backup")
    os.makedirs(share, exist_ok=True)
    views = None
    try:
        views = Views(paths, gui)
        road(paths, gui, sim, views, tray, shell)
    finally:
        if views:
            views.utility.close(gui)
        tray.close()
        shell.close()
        shutil.rmtree(os.path.join(paths.prefix, "dosdevices", "unc", DISK), ignore_errors=True)


def road(paths, gui, sim, views, tray, shell):
    # 1. Every server, device and share, with its class, name and state, in both views.
    rows, tree = views.until(everything_listed, timeout=60)
    names = by_name(rows)
    want = {"Label Maker": (OTHER, FREE, "LAB-PRINT", PRINT, "QZ-7000"),
            "Flatbed Scan": (IMAGING, FREE, "LAB-PRINT", PRINT, "QZ-7000"),
            "Keyboard": (HID, FREE, "LAB-PRINT", PRINT, "QZ-7000"),
            "USB Stick": (STORAGE, FREE, "LAB-DISK", DISK, "QZ-5400"),
            "Docs": (NAS, MOUNTED, "LAB-DISK", DISK, "QZ-5400"),
            "Music": (NAS, MOUNTED, "LAB-DISK", DISK, "QZ-5400"),
            "Backup": (NAS, MOUNTED, "LAB-DISK", DISK, "QZ-5400"),
            "Headset": (AUDIO, FREE, "", BARE, "QZ-3000")}
    assert {n: (r["classRow"], r["stateRow"], r["host"], r["address"], r["model"]) for n, r in names.items()} == want
    # The header's texts and ids; the cells: class, state (free space for a share), host, model.
    assert [(h["text"], h["id"]) for h in rows["header"]] == \
        [("Name", 0), ("Class", 1), ("State", 2), ("Server", 3), ("Model", 6)]
    assert names["Label Maker"]["cells"][1:] == ["Other USB device", "Not connected", "LAB-PRINT", "QZ-7000"]
    assert names["Docs"]["cells"][2] == "Free space (1.46 GB / 1.95 GB)"
    assert names["Backup"]["cells"][2] == "Free space (7.99 TB / 8.00 TB)"  # 64-bit sizes
    # Servers by host name, or by address without one; devices by class row, then name.
    top = servers(tree)
    assert sorted(s["text"] for s in tree) == [BARE, "LAB-DISK", "LAB-PRINT"]
    assert [(c["name"], c["classRow"]) for c in top["LAB-PRINT"]["children"]] == \
        [("Flatbed Scan", IMAGING), ("Keyboard", HID), ("Label Maker", OTHER)]
    assert [c["name"] for c in top["LAB-DISK"]["children"]] == ["USB Stick", "Backup", "Docs", "Music"]
    assert all(s["hasChildren"] for s in tree)
    views.photograph(SCREENSHOTS["list"])
    views.command(SWITCH)
    rig.wait_for(lambda: gui.children(views.dialog)[TREE]["visible"])
    views.photograph(SCREENSHOTS["tree"])
    # The server item's SERVER command opens the server's web page.
    gui.must("treeselect", views.dialog, TREE, servers(views.tree())["LAB-PRINT"]["item"])
    views.command(SERVER_PAGE)
    assert rig.wait_for(lambda: shell.lines(), timeout=30) == ["open|http://%s/" % PRINT]
    views.command(SWITCH)
    rig.wait_for(lambda: gui.children(views.dialog)[LIST]["visible"])
    lines = rig.log_lines(paths)
    assert lines.count("*** New Server ***") == 3 and lines.count("*** New Device ***") == 8
    assert "  New: QZ-7000, %s, %s" % (PRINT, top["LAB-PRINT"]["mac"]) in lines
    assert "  New: Label Maker" in lines and "  New: Disk on port 2" in lines

    # 2. Unplug, hand-over to another PC, server rename; then the replug and a lost server.
    mark = len(rig.log_lines(paths))
    sim.unplug(PRINT, "1-3")
    sim.give_device(PRINT, "1-2", address="10.77.0.99", name="OTHER-PC")
    sim.identity(PRINT, host="LAB-PRINT-2")

    def changed(rows, tree):
        names, top = by_name(rows), servers(tree)
        return ("Keyboard" not in names and names["Flatbed Scan"]["stateRow"] == OTHER_PC
                and "LAB-PRINT-2" in top and names["Label Maker"]["host"] == "LAB-PRINT-2"
                and len(top["LAB-PRINT-2"]["children"]) == 2)

    rows, tree = views.until(changed, refresh=True)
    scan = by_name(rows)["Flatbed Scan"]
    assert scan["cells"][2] == "%s is using it" % scan["user"] and scan["user"] in ("OTHER-PC", "10.77.0.99")
    assert by_name(rows)["Label Maker"]["cells"][3] == "LAB-PRINT-2"
    [item] = [c for c in servers(tree)["LAB-PRINT-2"]["children"] if c["name"] == "Flatbed Scan"]
    assert item["stateRow"] == OTHER_PC and item["user"] == scan["user"]
    lines = rig.log_lines(paths)[mark:]
    assert "*** Delete Device ***" in lines and "  Delete: Keyboard" in lines
    assert "*** Change Device Status  ***" in lines
    assert any(l.startswith("  Flatbed Scan - Reason: (0x") for l in lines), lines
    assert "*** Change Server Status  ***" in lines
    assert any(l.startswith("  QZ-7000(LAB-PRINT-2) - Reason: (0x") and "Base Change." in l for l in lines), lines

    mark = len(rig.log_lines(paths))
    sim.plug(PRINT, name="Keyboard", location="1-3", port="3", interfaces=[[3, 1]])
    sim.silent(BARE)
    views.until(lambda rows, tree: "Keyboard" in by_name(rows) and BARE not in servers(tree)
                and "Headset" not in by_name(rows), timeout=60, refresh=True)
    lines = rig.log_lines(paths)[mark:]
    assert "  New: Keyboard" in lines
    assert "*** Delete Server ***" in lines
    assert any(l.startswith("  Delete: QZ-3000, %s, " % BARE) for l in lines), lines

    # 3. Over-current: one balloon. REFRESH (F5 in the list) hides it and empties the queue; its
    # search asks the server's status anew, and the over-current reported again shows its
    # balloon again at once (not held behind the hidden one). The clearing withdraws it.
    mark = len(rig.log_lines(paths))
    sim.identity(PRINT, function_flags=0x82)
    rows, tree = views.until(lambda rows, tree: servers(tree)["LAB-PRINT-2"]["status"] & 1)
    assert servers(tree)["LAB-PRINT-2"]["text"].startswith("LAB-PRINT-2 (over-current)")
    lines = rig.log_lines(paths)[mark:]
    assert ">> BalloonHelp(Over Current2): LAB-PRINT-2" in lines

    def balloons(since=0):
        return [l for l in tray.lines()[since:] if " balloon " in l and "LAB-PRINT-2" in l]
    assert len(rig.wait_for(balloons)) == 1, tray.lines()
    tray_mark = len(tray.lines())
    rig.wait_for(lambda: gui.children(views.dialog)[REFRESH]["enabled"])
    gui.must("keys", gui.children(views.dialog)[LIST]["hwnd"], "f5")  # F5 is REFRESH
    rig.wait_for(lambda: balloons(tray_mark), timeout=30)
    tray_mark = len(tray.lines())
    sim.identity(PRINT, function_flags=0x80)
    views.until(lambda rows, tree: not servers(tree)["LAB-PRINT-2"]["status"] & 1, refresh=True)
    rig.wait_for(lambda: ">> BalloonHelp(Over Current2 - Delete): LAB-PRINT-2" in rig.log_lines(paths))
    assert not balloons(tray_mark)

    # 4. Columns: show the address, the MAC and the automatic connect; sort by each column,
    # then hide the host name, left of the sort column.
    for column_id in (4, 5, 7):
        views.command(COLUMN_MENU + column_id)
    rows = rig.wait_for(lambda: (lambda r: r if header_ids(r) == list(range(8)) else None)(views.rows()))
    keys = {0: lambda r: r["name"], 1: lambda r: (r["classRow"], r["name"]), 2: lambda r: (r["stateRow"], r["name"]),
            3: lambda r: (r["host"], r["name"]), 4: lambda r: (address_value(r["address"]), r["name"]),
            5: lambda r: (r["mac"], r["name"]), 6: lambda r: (r["model"], r["name"]),
            7: lambda r: (not r["auto"], r["name"])}
    # Name is sorted already (ascending): each other column sorts ascending, then the name.
    for index in (1, 2, 3, 4, 6, 7, 0, 5):
        gui.must("headerclick", views.dialog, LIST, index)
        rows = wait_sorted(views, keys[index], index)
    gui.must("headerclick", views.dialog, LIST, 5)  # the same column again: descending
    rows = wait_sorted(views, keys[5], 5, reverse=True)
    assert [h["sort"] for h in rows["header"]] == ["", "", "", "", "", "down", "", ""]
    views.command(COLUMN_MENU + 3)
    rows = rig.wait_for(lambda: (lambda r: r if header_ids(r) == [0, 1, 2, 4, 5, 6, 7] else None)(views.rows()))
    assert [h["sort"] for h in rows["header"]] == ["", "", "", "", "down", "", ""]
    assert [r["cells"][5] for r in rows["rows"]] == [r["model"] for r in rows["rows"]]
    order = [r["name"] for r in rows["rows"]]
    views.exit()
    values = rig.reg_values(paths)
    assert (values["SortItem"][1], values["SortOrder"][1]) == ("0x4", "0x2")

    # ... and after a restart the same columns, sort and order.
    views.utility = rig.Utility(paths, ("-dlog", "-m"))
    views.dialog = gui.must("wait", "#32770", rig.TITLE, 60000)["hwnd"]
    rows, tree = views.until(lambda rows, tree: len(rows["rows"]) == 7)
    assert header_ids(rows) == [0, 1, 2, 4, 5, 6, 7]
    assert [h["sort"] for h in rows["header"]] == ["", "", "", "", "down", "", ""]
    assert [r["name"] for r in rows["rows"]] == order
    assert [r["cells"][3] for r in rows["rows"]] == [r["address"] for r in rows["rows"]]

    # 5. Storage commands reach the library: removing two shares of one storage removes it once.
    mark = sim.mark()
    shares = [i for i, r in enumerate(rows["rows"]) if r["name"] in ("Docs", "Music")]
    for index in shares:
        gui.must("select", views.dialog, LIST, index)
    views.command(STORAGE_REMOVE)
    confirm = rig.wait_for(lambda: (lambda w: w if w.get("ok") and w["hwnd"] != views.dialog else None)(
        gui("wait", "#32770", rig.TITLE, 2000)), timeout=90)
    gui.must("press", confirm["hwnd"], 1)  # yes, remove it
    rig.wait_for(lambda: sim.safe_removes(DISK, since=mark), timeout=60)
    removes = sim.safe_removes(DISK, since=mark)
    assert len(removes) == 1 and removes[0]["ok"], removes
    # Mounting a share asks the library to connect it (Wine has no network provider: it fails).
    # The removed shares leave the list while the service resumes: wait for the rows to settle.
    rows, _ = views.until(lambda rows, tree: {r.get("name") for r in rows["rows"]} & {"Docs", "Music"} == set()
                          and any(r.get("name") == "Backup" for r in rows["rows"]))
    [backup] = [i for i, r in enumerate(rows["rows"]) if r.get("name") == "Backup"]
    gui.must("select", views.dialog, LIST, backup)
    views.command(STORAGE_MOUNT)
    rig.wait_for(lambda: "PnxNasConnectDrive(backup)" in rig.library_log(paths), timeout=60)
    box = gui("msgbox", 20000)
    if box.get("ok"):
        gui.answer(box)
    # OPEN explores the share.
    gui.must("selectonly", views.dialog, LIST, backup)
    views.command(STORAGE_OPEN)
    rig.wait_for(lambda: len(shell.lines()) == 2, timeout=30)
    assert shell.lines()[1].lower() == "explore|\\\\%s\\backup" % DISK, shell.lines()
    views.exit()


def address_value(text):
    a, b, c, d = (int(x) for x in text.split("."))
    return (a << 24) | (b << 16) | (c << 8) | d


def wait_sorted(views, key, index, reverse=False):
    """The rows once they stand in the order of `key` (the header's item `index`)."""
    seen = {}

    def check():
        rows = seen["rows"] = views.rows()
        return rows if [r["name"] for r in rows["rows"]] == \
            [r["name"] for r in sorted(rows["rows"], key=key, reverse=reverse)] else None

    try:
        return rig.wait_for(check, timeout=20)
    except AssertionError:
        raise AssertionError("not sorted by column %d: %r %r" % (index, seen["rows"]["header"],
                                                                 [key(r) for r in seen["rows"]["rows"]]))
