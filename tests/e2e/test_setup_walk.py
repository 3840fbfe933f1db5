"""The setup wizard walked by the GUI test driver in a Wine prefix of its own, on an X server of
its own: the application list of a two-program
script, then a whole install with the language chosen by hand, through the folder browser's
checks, into the same result as the silent install.

Photographs of the pages go to build/x64/setup_walk/*.png.
"""

import os
import shutil
import time

import pytest

from test_setup_silent import SETUP, Setup, check_installed_suite, fresh_box, screen  # noqa: F401
import utility_rig as rig

TITLE = "Quelbo Plus Setup"
NEXT, BACK, CANCEL = 1069, 1068, 2
# The control that only its page has.
PAGES = {1073: "language", 1078: "welcome", 1077: "license", 1057: "applications", 1018: "folder",
         1092: "startmenu", 1086: "check", 1019: "install", 1083: "finish", 1099: "restart"}
DEFAULT_FOLDER = "C:\\Program Files\\Orvik\\Quelbo Plus"


@pytest.fixture(scope="module")
def box(paths, screen):
    fresh = fresh_box(paths, "setup_walk")
    yield fresh
    fresh.end()


def edited_copy(box, name, edits):
    """A copy of the staged setup folder with some script files changed: {file: edit(text)}."""
    folder = os.path.join(box.root, name)
    shutil.rmtree(folder, ignore_errors=True)
    shutil.copytree(os.path.join(box.root, "setup"), folder)
    for file, edit in edits.items():
        path = os.path.join(folder, file)
        with open(path, newline="", encoding="latin-1") as f:
            text = f.read()
        with open(path, "w", newline="", encoding="latin-1") as f:
            f.write(edit(text))
    return folder


class Wizard:
    """The frame of one running setup and its visible page."""

    def __init__(self, box, gui):
        self.box, self.gui = box, gui
        self.frame = gui.must("wait", "#32770", TITLE, 60000)

    def page(self):
        """(name, hwnd, {id: control}) of the visible page, name None while there is none."""
        for child in self.gui.must("children", self.frame["hwnd"])["children"]:
            if child["class"] == "#32770" and child["visible"]:
                controls = self.gui.children(child["hwnd"])
                for control, name in PAGES.items():
                    if control in controls:
                        return name, child["hwnd"], controls
        return None, None, {}

    def wait_page(self, name, timeout=120):
        return rig.wait_for(lambda: (lambda p: p if p[0] == name else None)(self.page()), timeout=timeout)

    def next(self, expected):
        self.gui.must("press", self.frame["hwnd"], NEXT)
        return self.wait_page(expected)

    def button(self, control):
        return self.gui.children(self.frame["hwnd"])[control]

    def photograph(self, name):
        time.sleep(0.5)  # for the page to be painted
        window = self.gui.must("find", "#32770", TITLE, 5000)
        path = os.path.join(self.box.root, name + ".png")
        self.gui.screenshot_png(path, window["rect"])
        return path


def test_application_list_of_a_two_program_script(box):
    def second_program(text):
        words = next(line for line in text.splitlines() if line.startswith("OS=ALL:"))
        return text.replace("ICON_00=", "APP_01=Extras\r\nCHECK_01=0\r\nICON_00=") + "\r\n[Extras_INFO]\r\n" + words + "\r\n"

    folder = edited_copy(box, "two_programs", {
        "CopyFile.ini": second_program,
        os.path.join("English", "Setup.ini"): lambda t: t.replace("[LIST]", "[LIST]\r\nLIST_01=Extras\r\nMEMO_01=Nothing more."),
    })
    gui = rig.Gui(box, SETUP)
    run = Setup(box, folder, ("-Dlog",))
    wizard = Wizard(box, gui)
    wizard.wait_page("welcome")
    wizard.next("license")
    _, page, _ = wizard.next("applications")
    items = gui.must("listview", page, 1057)["items"]
    assert [(i["text"], i["checked"]) for i in items] == [("Quelbo Plus", True), ("Extras", False)], items
    wizard.photograph("applications")
    assert wizard.button(BACK)["enabled"]
    gui.must("press", wizard.frame["hwnd"], CANCEL)
    gui.answer(gui.message_box(), 6)
    assert run.wait(60) == 15  # cancelled
    assert not os.path.exists(box.installed())


def test_interactive_install_gives_the_silent_result(box):
    folder = edited_copy(box, "by_hand", {"Language.ini": lambda t: t.replace("MODE=S", "MODE=M")})
    gui = rig.Gui(box, SETUP)
    run = Setup(box, folder, ("-Dlog",))
    wizard = Wizard(box, gui)
    _, page, controls = wizard.wait_page("language")
    assert gui.must("listbox", page, 1073)["items"] == ["English"] and controls[1071]["text"] == "Choose the setup language"
    wizard.photograph("language")
    wizard.next("welcome")
    assert not wizard.button(BACK)["enabled"]
    wizard.next("license")
    assert wizard.button(NEXT)["text"] == "&Yes" and wizard.button(BACK)["enabled"]
    wizard.photograph("license")
    _, page, controls = wizard.next("folder")
    assert controls[1018]["text"] == DEFAULT_FOLDER

    # The folder browser refuses a path too long, a bare drive and a part ending in a full stop.
    gui.must("press", page, 1011)
    browser = gui.must("wait", "#32770", "Choose the install folder", 30000)
    for typed, message in (("C:\\" + "x" * 130, "The folder path is too long."),
                           ("C:", "This folder cannot be used. Choose a folder on a local fixed drive."),
                           (DEFAULT_FOLDER + ".", "This folder cannot be used. Choose a folder on a local fixed drive.")):
        gui.must("settext", browser["hwnd"], 1041, typed)
        gui.must("press", browser["hwnd"], 1)
        box_ = gui.message_box()
        assert box_["text"] == message, (typed, box_)
        if message.startswith("The folder path"):
            gui.screenshot_png(os.path.join(box.root, "browser_too_long.png"), browser["rect"])
        gui.answer(box_, 1)
    gui.must("settext", browser["hwnd"], 1041, DEFAULT_FOLDER)
    gui.must("press", browser["hwnd"], 1)
    gui.must("gone", browser["hwnd"], 10000)
    assert wizard.page()[2][1018]["text"] == DEFAULT_FOLDER

    _, page, controls = wizard.next("startmenu")
    assert controls[1014]["text"] == "Quelbo Plus"
    wizard.next("check")
    assert wizard.button(NEXT)["text"] == "&Install" and wizard.button(BACK)["enabled"]
    wizard.photograph("check")
    gui.must("press", wizard.frame["hwnd"], NEXT)
    wizard.wait_page("finish", timeout=180)
    _, _, controls = wizard.page()
    assert controls[1084]["text"].startswith("Quelbo Plus has been installed.") and not controls[1004]["visible"]
    assert wizard.button(NEXT)["text"] == "&Finish" and not wizard.button(CANCEL)["enabled"]
    wizard.photograph("finish")
    gui.must("press", wizard.frame["hwnd"], NEXT)
    assert run.wait(60) == 0

    log = run.log()
    assert "  Select language : English" in log and "*** Finish ***" in log and "*** return [0] ***" in log, log
    check_installed_suite(box, run)
