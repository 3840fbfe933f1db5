"""The utility end to end: QuelboZovu.exe with the real Pnxscapi.dll against the simulator.

Start-up (log header, registry defaults, the library's start-up calls, the servers found),
the single instance, the exit through 0x81F9, the early ends (empty title, missing theme, the
bus driver's version gate) and a log-off while a device is connected.  The stand-in bus
driver file reports 1.2.3.4, older than the utility accepts, so these tests give the prefix a
copy with another version and put the original back at the end.
"""

import os
import shutil
import sys
import time

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "sim"))
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "guidriver"))

from conftest import unique_name  # noqa: E402
from simctl import Simulator  # noqa: E402
import utility_rig as rig  # noqa: E402

SERVERS = ["10.77.0.40", "10.77.0.41", "10.77.0.42"]
HOSTS = {"10.77.0.40": "LAB-PRINT", "10.77.0.41": "LAB-SCAN", "10.77.0.42": "OFFICE-HUB"}
SCREENSHOT = "utility_main_dialog.png"


@pytest.fixture(scope="module")
def gui(paths):
    with rig.accepted_driver(paths):
        yield rig.Gui(paths)


@pytest.fixture
def fresh(paths, gui):
    rig.reset_registry(paths)
    rig.clear_logs(paths)
    started = []

    def start(*args, **kw):
        utility = rig.Utility(paths, args, **kw)
        started.append(utility)
        return utility

    yield start
    for utility in started:
        utility.close()


@pytest.fixture
def sim(lan_ns):
    with Simulator(SERVERS, netns=lan_ns, discovery=True, max_seconds=240) as s:
        for address in SERVERS:
            s.identity(address, host=HOSTS[address], model="QZ-7000")
        s.plug(SERVERS[0], name="Office Printer", port="1", vid=0x04B8, pid=0x0005, location="1-1")
        yield s


def exit_utility(gui, utility):
    main = gui.must("find", rig.CLASS, rig.TITLE, 20000)
    gui.must("post", main["hwnd"], rig.UM_EXIT, 0, 0)
    assert utility.wait(60) == 0


def test_start_finds_the_servers_and_exits_in_order(paths, gui, fresh, sim):
    utility = fresh("-dlog", "-m")
    dialog = gui.must("wait", "#32770", rig.TITLE, 60000)
    rig.wait_for(lambda: all(sim.requests(a) for a in SERVERS), timeout=60)

    lines = rig.log_lines(paths)
    assert lines[0] == "-" * 50 and lines[1] == " " * 14 + "QuelboZovu" and lines[2] == "-" * 50
    assert lines[3] == "*** OS Information ***"
    assert lines[4].startswith("  OS             : Windows")
    assert lines[5] == "  CommandLine    : -dlog -m"
    assert lines[6] == "  Currenet Folder: " + rig_wine_path(paths.bin)
    assert lines[7] == "  Message File   : " + rig_wine_path(paths.bin) + "\\Pnxmsg.ini"
    assert lines[8] == "  File Version   : 1.0.0.0"
    assert lines[9] == "  Zkuptp Driver  : 3.3.0.0"

    # A fresh prefix gets every default, AutoStart and MainView copied or created.
    values = rig.reg_values(paths)
    expected = {"Startup": "01", "MiniMode": "01", "ErrorNotice": "01", "PermitMessage": "01",
                "StatusTimer": "0x2710", "AutoStart": "00", "Broadcast": "00", "MainView": "00",
                "SortOrder": "0x1", "SortItem": "0x0", "Old": "01", "OldAutoPrinter": "01",
                "Theme": "Quelbotheme"}
    assert {k: values.get(k, ("", None))[1] for k in expected} == expected, values[""]
    assert values["ListCulum"][1].startswith("00000000010000005A00000000000000")
    assert values["Shortcut"][1].lower().endswith("\\startup\\quelbo plus.lnk")
    assert rig.startup_shortcuts(paths)

    # The library heard the start-up calls in their order, with the utility's records, and
    # reported every server of the simulator.
    library = [line[21:] for line in rig.library_log(paths).splitlines()]
    in_order(library, ["PnxInitBroadcastAddr()",
                       r"  HKEY_CURRENT_USER\Software\Orvik\Quelbo Plus\Pnxscapi\Broadcast",
                       "PnxStartService()", "  Communicate Mode : 0x09", "  BroadAddr Mode   : 0",
                       "  Status Time      : 10000"])
    for address in SERVERS:
        assert any(line.endswith(" - %s - %s" % (HOSTS[address], address)) for line in library), address

    # The main dialog stands with its eight buttons, the list shown and the tree hidden.
    children = gui.children(dialog["hwnd"])
    for control in (1018, 1019, 1020, 1021, 1022, 1023, 1024, 1095):
        assert children[control]["visible"], control
    assert children[1082]["visible"] and not children[1099]["visible"]
    # CONNECT follows the selection: the first free device seen within 10 s is selected.
    assert children[1024]["enabled"]
    gui.screenshot_png(os.path.join(paths.build, SCREENSHOT), dialog["client"])

    # A second start activates the first and ends at once.
    second = fresh("-dlog", "-s30")
    assert second.wait(30) == 0
    assert utility.proc.poll() is None

    exit_utility(gui, utility)
    lines = rig.log_lines(paths)
    assert lines[-1] == "*** return [0] ***"
    library = [line[21:] for line in rig.library_log(paths).splitlines()]
    in_order(library, ["PnxStartService()", "PnxSuspendService()", "PnxEndService()",
                       "PnxUnRegisterNotification()"])


def in_order(lines, wanted):
    at = 0
    for step in wanted:
        assert step in lines[at:], (step, lines[at:at + 40])
        at = lines.index(step, at) + 1


def rig_wine_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def test_an_empty_title_ends_at_once_without_a_log(paths, gui, fresh):
    folder = os.path.join(paths.build, unique_name("zovu_untitled"))
    os.makedirs(folder)
    try:
        exe = os.path.join(folder, "QuelboZovu.exe")
        shutil.copyfile(os.path.join(paths.bin, "QuelboZovu.exe"), exe)
        with open(os.path.join(folder, "Pnxmsg.ini"), "w") as f:
            f.write("[TITLE]\nMAIN=\n[ERROR]\nTITLE=x\n")
        assert fresh("-dlog", exe=exe).wait(30) == 0
        assert not os.path.exists(rig.log_path(paths))
        assert rig.reg_values(paths) == {"": rig.reg_values(paths)[""]}  # no value written
    finally:
        shutil.rmtree(folder, ignore_errors=True)


@pytest.mark.parametrize("version, refused", [("3.2.0.0", True), ("2.9.5.0", True), ("4.0.0.0", False)])
def test_the_bus_driver_version_gate(paths, gui, fresh, version, refused):
    rig.set_driver_version(paths, version)
    try:
        utility = fresh("-dlog")
        if refused:
            box = gui.message_box()
            assert box["text"].startswith("The installed USB bus driver is too old")
            gui.answer(box)
            assert utility.wait(30) == 0
            assert "[MessageBox] : MESSAGE20" in rig.log_lines(paths)
        else:
            # 4.0 is newer than the 3.3 the utility needs, although its minor part is smaller.
            gui.must("find", rig.CLASS, rig.TITLE, 60000)
            exit_utility(gui, utility)
        lines = rig.log_lines(paths)
        assert "  Zkuptp Driver  : %s" % version in lines
        assert lines[-1] == "*** return [0] ***"
    finally:
        rig.set_driver_version(paths, rig.ACCEPTED_DRIVER)


def test_a_missing_theme_is_named_in_the_message(paths, gui, fresh):
    rig.reg(paths, "add", rig.OPTION_KEY + r"\Option", "/v", "Theme", "/t", "REG_SZ", "/d", "Gone", "/f")
    utility = fresh("-dlog")
    box = gui.message_box()
    assert box["text"].startswith("Gone.dll could not be found.")
    gui.answer(box)
    assert utility.wait(30) == 0
    lines = rig.log_lines(paths)
    assert "[MessageBox] : MESSAGE02" in lines and lines[-1] == "*** return [0] ***"


def test_address_and_mac_switches_reach_the_search_filter(paths, gui, fresh, sim):
    sim.identity(SERVERS[1], mac="02:51:5a:00:00:41")
    utility = fresh("-dlog", "-m", "-i" + SERVERS[1], "-e02:51:5a:00:00:41", "-eshort")
    gui.must("wait", "#32770", rig.TITLE, 60000)
    rig.wait_for(lambda: sim.requests(SERVERS[1]), timeout=60)
    time.sleep(3)  # two more searches
    assert not sim.requests(SERVERS[0]) and not sim.requests(SERVERS[2])
    filters = [line for line in rig.library_log(paths).splitlines() if "PnxSetSearchFilter(" in line]
    assert len(filters) == 2, filters
    exit_utility(gui, utility)


def test_log_off_with_a_connected_device_is_held_then_the_utility_exits(paths, gui, fresh, sim):
    from simctl import BusBridge
    utility = fresh("-dlog", "-m")
    gui.must("wait", "#32770", rig.TITLE, 60000)
    main = gui.must("find", rig.CLASS, rig.TITLE, 20000)
    bridge = BusBridge(paths.wine_run, os.path.join(paths.bin, "zkuptp_bridge.exe"), "10.77.0.1")
    try:
        assert bridge.ask("attach %s 1-1 USB\\VID_04B8&PID_0005" % SERVERS[0]).startswith("OK")
        answer = gui.must("send", main["hwnd"], 0x0011, 0, 0x80000000)  # WM_QUERYENDSESSION
        assert answer["result"] == 0  # held
        assert utility.wait(60) == 0  # and gone, without a question
        assert rig.log_lines(paths)[-1] == "*** return [0] ***"
        assert "[MessageBox] : MESSAGE01" not in rig.log_lines(paths)
    finally:
        bridge.ask("detach %s 1-1" % SERVERS[0])
        bridge.close()
