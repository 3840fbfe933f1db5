"""The options dialog of the running utility: every refusal of the general and broadcast
pages, OK writing the settings, the Startup shortcut and the library's broadcast list, Apply
creating the shortcut with its start delay, and Cancel without Apply changing nothing."""

import configparser
import os
import sys

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "guidriver"))

from conftest import REPO_DIR, install_stand_in_driver  # noqa: E402
import utility_rig as rig  # noqa: E402

OPTION_BUTTON, OK, CANCEL, APPLY = 1021, 1, 2, 1025
STARTUP, TIMER = 1044, 1072
BROADCAST, ADDRESS, ADDRESS_LIST, ADD = 1048, 1089, 1083, 1026


def texts():
    ini = configparser.ConfigParser(strict=False, interpolation=None)
    ini.optionxform = str
    ini.read(os.path.join(REPO_DIR, "utility", "texts", "Pnxmsg.ini"), encoding="utf-8")
    return ini


@pytest.fixture(scope="module")
def running(paths):
    rig.fresh_prefix(paths)
    gui = rig.Gui(paths)
    utility = rig.Utility(paths, ["-dlog", "-m"])
    dialog = gui.must("wait", "#32770", rig.TITLE, 60000)
    yield gui, utility, dialog["hwnd"]
    main = gui("find", rig.CLASS, rig.TITLE, 5000)
    if main.get("ok"):
        gui("post", main["hwnd"], rig.UM_EXIT, 0, 0)
    try:
        utility.wait(60)
    finally:
        utility.close()
        install_stand_in_driver(paths)


def open_options(gui, main_dialog):
    gui.must("post", main_dialog, rig.WM_COMMAND, OPTION_BUTTON, 0)
    found = gui.must("wait", "#32770", "Options", 20000)
    container = found["hwnd"]
    pages = {}
    kids = gui.must("children", container)["children"]
    for child in kids:
        if child["class"] == "#32770":
            ids = gui.children(child["hwnd"])
            name = "general" if STARTUP in ids else "broadcast" if BROADCAST in ids else "display"
            pages[name] = child["hwnd"]
    assert set(pages) == {"general", "broadcast", "display"}, kids
    pages["client"] = found["client"]
    return container, pages


def refused(gui, window, button, key, ini):
    """Presses the button, reads the message box it raises and closes it."""
    gui.must("press", window, button)
    box = gui.message_box()
    expected = ini["ERROR"][key].split("\\n")[0]
    assert box["text"].startswith(expected), (key, box["text"])
    gui.answer(box)
    return box


def close_dialog(gui, container, button):
    gui.must("press", container, button)
    gui.must("gone", container, 20000)


def test_refusals_then_ok_and_apply_write_the_settings(paths, running):
    gui, utility, main_dialog = running
    ini = texts()
    before = rig.reg_values(paths)
    assert rig.startup_shortcuts(paths)

    # Cancel without Apply: nothing changes.
    container, pages = open_options(gui, main_dialog)
    gui.must("check", pages["general"], STARTUP, 0)
    gui.must("settext", pages["general"], TIMER, "45")
    close_dialog(gui, container, CANCEL)
    assert rig.reg_values(paths) == before and rig.startup_shortcuts(paths)

    container, pages = open_options(gui, main_dialog)
    gui.screenshot_png(os.path.join(paths.build, "utility_options.png"), pages["client"])
    general, broadcast = pages["general"], pages["broadcast"]
    for seconds in ("2", "61"):
        gui.must("settext", general, TIMER, seconds)
        box = refused(gui, container, OK, "MESSAGE03", ini)
        assert box["title"] == ini["ERROR"]["CONFIG"]
    assert gui("text", container)["ok"]  # still open

    gui.must("check", broadcast, BROADCAST, 1)
    for address, key in (("255.255.255.255", "MESSAGE06"), ("10", "MESSAGE05")):
        gui.must("ipaddr", broadcast, ADDRESS, address)
        refused(gui, broadcast, ADD, key, ini)
    gui.must("ipaddr", broadcast, ADDRESS, "10.1.0.255")
    gui.must("press", broadcast, ADD)
    refused(gui, broadcast, ADD, "MESSAGE07", ini)
    for n in range(2, 17):
        gui.must("ipaddr", broadcast, ADDRESS, "10.%d.0.255" % n)
        gui.must("press", broadcast, ADD)
    gui.must("ipaddr", broadcast, ADDRESS, "10.99.0.255")
    refused(gui, broadcast, ADD, "MESSAGE04", ini)
    assert len(gui.must("listbox", broadcast, ADDRESS_LIST)["items"]) == 16

    gui.must("settext", general, TIMER, "30")
    gui.must("check", general, STARTUP, 0)
    close_dialog(gui, container, OK)
    values = rig.reg_values(paths)
    assert values["StatusTimer"][1] == "0x7530" and values["Startup"][1] == "00"
    assert values["Broadcast"][1] == "01"
    assert not rig.startup_shortcuts(paths)
    library = rig.library_log(paths)
    assert "PnxSetBroadcastAddr(1) : Count = 16" in library, library[-1500:]
    assert "PnxResumeService()" in library

    # Apply creates the shortcut with the start delay; Cancel afterwards keeps what Apply saved.
    container, pages = open_options(gui, main_dialog)
    assert len(gui.must("listbox", pages["broadcast"], ADDRESS_LIST)["items"]) == 16
    gui.must("check", pages["general"], STARTUP, 1)
    gui.must("press", container, APPLY)
    shortcut = rig.wait_for(lambda: rig.startup_shortcuts(paths), timeout=20)[0]
    assert "-s15".encode("utf-16-le") in open(shortcut, "rb").read()
    close_dialog(gui, container, CANCEL)
    assert rig.reg_values(paths)["Startup"][1] == "01"
