"""A connect refused by the server, end to end through the utility's property dialog:
QuelboZovu.exe with the real Pnxscapi.dll against the simulator, whose server answers the
printer's connect with DENY. The printer set-up of the property dialog runs a connect batch;
its progress dialog must reach its failure state (the End of the refused request: CLOSE
offered, the batch held for the user) instead of waiting for ever after the Result.
"""

import os
import sys

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "sim"))
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "guidriver"))

import utility_rig as rig  # noqa: E402

SERVER = "10.77.0.47"
THIS_PC = "10.77.0.1"
PRINTER = "Refused Printer"
LIST, PROPERTY = 1082, 1018
PROGRESS_CANCEL, PROGRESS_CLOSE = 1032, 1104
PRINTER_SETUP = 1039
SCREENSHOT = "utility_refused_connect.png"


@pytest.fixture
def world(paths, lan_ns):
    with rig.bridged_simulator(paths, lan_ns, [SERVER], THIS_PC) as (sim, bridge, start):
        sim.identity(SERVER, host="LAB-REFUSE", model="QZ-7000")
        sim.plug(SERVER, name=PRINTER, port="1", location="1-1", interfaces=[[7, 1]], connect_answer="deny")
        start()
        gui = rig.Gui(paths)
        yield gui, sim, gui.must("wait", "#32770", rig.TITLE, 60000)


def decline_the_printer_offer(gui):
    """A new free printer makes the utility offer to set it up: No."""
    question = gui("dialog", PROGRESS_CLOSE, 20000)
    if question.get("ok"):
        rig.wait_for(lambda: gui.children(question["hwnd"])[PROGRESS_CANCEL]["enabled"], timeout=30)
        gui.must("press", question["hwnd"], PROGRESS_CANCEL)
        gui.must("gone", question["hwnd"], 60000)


def options_page(gui, dialog):
    for child in gui.must("children", dialog["hwnd"])["children"]:
        if child["class"] == "#32770" and PRINTER_SETUP in gui.children(child["hwnd"]):
            return child["hwnd"]
    raise AssertionError("the property dialog has no options page")


def test_a_refused_connect_of_the_property_dialog_ends_in_its_failure_state(paths, world):
    gui, sim, main_dialog = world
    rig.wait_for(lambda: any(r.get("name") == PRINTER and r.get("state")
                             for r in gui.must("rows", main_dialog["hwnd"], LIST)["list"]["rows"]), timeout=60)
    decline_the_printer_offer(gui)

    gui.must("select", main_dialog["hwnd"], LIST, 0)
    gui.must("post", main_dialog["hwnd"], rig.WM_COMMAND, PROPERTY, 0)
    dialog = gui.must("wait", "#32770", "Properties of " + PRINTER, 20000)
    # The options page's printer set-up (as its button does).
    gui.must("post", options_page(gui, dialog), rig.WM_COMMAND, PRINTER_SETUP, 0)

    # The server refuses: Result 9, then End, and the dialog holds with CLOSE for the user.
    progress = gui.must("dialog", PROGRESS_CLOSE, 30000)
    rig.wait_for(lambda: "  >> SendMessage(End - %s) <<" % PRINTER in rig.library_log(paths), timeout=60)

    def failure_state():
        controls = gui.children(progress["hwnd"])
        close = controls[PROGRESS_CLOSE]
        return close["visible"] and close["enabled"] and not controls[PROGRESS_CANCEL]["visible"]
    rig.wait_for(failure_state, timeout=30)
    assert gui.must("text", progress["hwnd"], PROGRESS_CLOSE)["text"] == "Close"
    [command] = sim.commands(SERVER, kind="connect")
    assert command["answer"] == "DENY"
    log = rig.library_log(paths)
    assert ">> SendMessage(%s - The server denied.) <<" % PRINTER in log
    assert ">> SendMessage(PNXN_COMPLETE, 0) <<" in log
    rect = [min(a, b) for a, b in zip(dialog["rect"][:2], progress["rect"][:2])] + \
           [max(a, b) for a, b in zip(dialog["rect"][2:], progress["rect"][2:])]
    gui.screenshot_png(os.path.join(paths.build, SCREENSHOT), rect)

    gui.must("press", progress["hwnd"], PROGRESS_CLOSE)
    gui.must("gone", progress["hwnd"], 30000)
    gui.must("press", dialog["hwnd"], 2)
    gui.must("gone", dialog["hwnd"], 20000)
