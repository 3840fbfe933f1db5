"""Install then remove, end to end, in a Wine prefix of its own: the silent setup installs the
suite, the uninstaller removes it again (silently, then once more through its wizard), and a
snapshot of the prefix's files and registry taken before the install is compared with the
prefix after the removal. Every difference is listed; beyond the scheduled deletion of the
uninstaller's temporary copy and the logs the tests asked for, only what KNOWN_LEFT names (with
its reason) may remain.

The tests run in file order and share one fresh prefix (its own wineserver).
"""

import os
import re
import shutil
import subprocess

import pytest

from conftest import REPO_DIR, wine_path
from test_setup_silent import INSTALL, FreshPrefix, Setup
import utility_rig as rig

UNINSTALLER = ("Uninstall", "Remvane.exe")
UNINSTALL_TITLE = "Quelbo Plus Uninstall"
CHECK_00 = "Do you want to remove Quelbo Plus and all of its components?"
STAGE_TWO = "         Uninstaller -- > Uninstaller"
RENAMES_KEY = r"hklm\system\currentcontrolset\control\session manager"
RENAMES_VALUE = '"pendingfilerenameoperations"'
# The step log and file log that -dlog writes at the root of the drive.
LOGS = {"drive_c\\setup.txt", "drive_c\\filelog.txt"}
REG_FILES = {"system.reg": "hklm", "user.reg": "hkcu", "userdef.reg": "hku\\.default"}
NEXT = 1021
EXIT_STAGE_TWO_FAILED = 16  # uninstall/../setup/exit_codes.h
PRODUCT_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quelbo Plus"
# Keys that Wine's display driver rewrites whenever a session starts (the display and monitor
# classes): not the suite's.
WINE_OWN = re.compile(r"^hklm\\system\\currentcontrolset\\control\\class\\"
                      r"\{(4d36e968|4d36e96e)-e325-11ce-bfc1-08002be10318\}( |\\|$)")
# What the removal leaves here, each for its reason; everything else must be gone.
KNOWN_LEFT = [
    # Wine does not unload a driver whose last device has gone, so its file stays in use.
    ("the loaded bus driver", re.compile(r"system32\\drivers\\zkuptp\.sys$")),
    # Removing a device and its driver package leaves the kernel driver's service entry, as on
    # Windows.
    ("the drivers' service entries", re.compile(r"services\\(zkuptp|zkhidflt)$")),
]


class Snapshot:
    """The prefix's files (size and modification time) and its registry as the .reg files hold
    it once the Wine session has ended; names in lower case, as Windows compares them."""

    def __init__(self, box):
        end_session(box)
        self.files = {}
        for folder, dirs, names in os.walk(box.prefix):
            dirs[:] = [d for d in dirs if not os.path.islink(os.path.join(folder, d))]
            rel = os.path.relpath(folder, box.prefix)
            for name in dirs:
                self.files[self._key(rel, name) + "\\"] = "folder"
            for name in names:
                path = os.path.join(folder, name)
                if rel == "." and (name in REG_FILES or name.startswith(".")) or os.path.islink(path):
                    continue
                info = os.lstat(path)
                self.files[self._key(rel, name)] = (info.st_size, info.st_mtime_ns)
        self.registry = {}
        for name, root in REG_FILES.items():
            self.registry.update(read_reg_file(os.path.join(box.prefix, name), root))
        start_session(box)

    @staticmethod
    def _key(rel, name):
        return os.path.normpath(os.path.join(rel, name)).replace("/", "\\").lower()

    def differences(self, later):
        """Every file, folder, key and value that was added, removed or changed."""
        found = []
        for path in sorted(set(self.files) | set(later.files)):
            a, b = self.files.get(path), later.files.get(path)
            if a != b:
                found.append(("file", path, "added" if a is None else "removed" if b is None else "changed"))
        for key in sorted(set(self.registry) | set(later.registry)):
            a, b = self.registry.get(key), later.registry.get(key)
            if a is None or b is None:
                found.append(("key", key, "added" if a is None else "removed"))
                continue
            for name in sorted(set(a) | set(b)):
                if a.get(name) != b.get(name):
                    what = "added" if name not in a else "removed" if name not in b else "changed"
                    found.append(("value", key + " " + name, what))
        return found


def read_reg_file(path, root):
    """{key: {value name: data}} of one of Wine's registry files."""
    keys = {}
    values = None
    pending = ""
    with open(path, encoding="utf-8", errors="replace") as f:
        for raw in f:
            line = pending + (raw.strip() if pending else raw.rstrip("\n"))
            pending = ""
            if line.endswith("\\") and values is not None and not line.startswith("["):
                pending = line[:-1]
                continue
            if line.startswith("["):
                name = line[1:line.rindex("]")].replace("\\\\", "\\").lower()
                values = keys.setdefault(root + "\\" + name, {})
            elif values is not None and line and not line.startswith(("#", ";")):
                split = re.match(r'^(@|"(?:[^"\\]|\\.)*")=(.*)$', line)
                if split:
                    values[split.group(1).lower()] = split.group(2)
    return keys


def end_session(box):
    """Ends every program of the prefix and the wineserver, which writes the registry files."""
    environment = dict(os.environ, WINEPREFIX=box.prefix)
    for argument in ("-k", "-w"):
        subprocess.run(["/usr/lib/wine/wineserver", argument], env=environment, stdin=subprocess.DEVNULL,
                       capture_output=True, timeout=120)


def start_session(box):
    """A new session whose desktop is up, with a minimised window that lives until the session
    ends. A program that creates the first window of a session waits only so long for Wine to
    start the desktop (a loaded machine takes longer) and gets no window; and a session whose
    last program ends takes its desktop down while the next program starts."""
    gui = rig.Gui(box, "notepad.exe")
    for _ in range(3):  # a window refused while the desktop starts: the desktop is there next time
        box.run("cmd", "/c", "start", "/min", "notepad", timeout=300)
        if gui("find", "Notepad", "*", 30000)["ok"]:
            return
    raise AssertionError("the session's desktop did not start")


def scheduled_deletions(snapshot):
    """The names of PendingFileRenameOperations (Wine writes the multi-string as str(7):"...",
    older versions as hex(7): UTF-16 bytes)."""
    data = snapshot.registry.get(RENAMES_KEY, {}).get(RENAMES_VALUE, "")
    if data.startswith('str(7):"'):
        text = re.sub(r"\\(.)", lambda m: "\0" if m.group(1) == "0" else m.group(1), data[8:-1])
    elif data.startswith("hex(7):"):
        text = bytes(int(b, 16) for b in data[7:].split(",") if b.strip()).decode("utf-16-le")
    else:
        return []
    return [name for name in text.split("\0") if name]


def known_left(differences):
    """{reason: [differences]} of what KNOWN_LEFT explains."""
    found = {}
    for kind, name, what in differences:
        for reason, pattern in KNOWN_LEFT:
            if pattern.search(name):
                found.setdefault(reason, []).append((kind, name, what))
                break
    return found


def not_scheduled(differences, box, scheduled):
    """The differences that are neither the scheduled deletion, the logs asked for, nor Wine's
    own keys."""
    temp_copies = set()
    for name in scheduled:
        path = name[4:] if name.startswith("\\??\\") else name
        if path[1:3] == ":\\":
            temp_copies.add(("drive_c" + path[2:]).lower())
            temp_copies.add(("drive_c" + path[2:]).lower() + "\\")  # the copy's own folder
    rest = []
    for kind, name, what in differences:
        if kind == "file" and (name in temp_copies or name in LOGS):
            continue
        if kind == "value" and name == RENAMES_KEY + " " + RENAMES_VALUE or WINE_OWN.search(name):
            continue
        rest.append((kind, name, what))
    return rest


class Uninstaller(Setup):
    """One removal: stage one run from the install folder, then the stage-two copy it starts;
    the step log and the helper library's calls are read as the setup's are."""

    def __init__(self, box, args):
        self.box = box
        self.program = box.installed(*UNINSTALLER)
        for path in (box.drive_c("Setup.txt"), box.helper_log):
            if os.path.exists(path):
                os.remove(path)
        env = dict(os.environ, WINEPREFIX=box.prefix, QZ_SETUP_HELPER_LOG=wine_path(box.helper_log))
        self.proc = subprocess.Popen([box.wine_run, self.program, *args], cwd=os.path.dirname(self.program),
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL, env=env)

    def stage_two_log(self):
        log = self.log()
        return log[log.index(STAGE_TWO):] if STAGE_TWO in log else []

    def wait_for_stage_two(self):
        """Stage two's log lines, once it has written its exit code."""
        ended = lambda: any(line.startswith("*** return [") for line in self.stage_two_log())  # noqa: E731
        rig.wait_for(ended, timeout=120)
        return self.stage_two_log()


@pytest.fixture(scope="module")
def box(paths):
    """build/uninstall_e2e/: the staged setup folder (setup/) and a new prefix, its session up."""
    root = os.path.join(paths.build, "uninstall_e2e")
    shutil.rmtree(root, ignore_errors=True)
    subprocess.run(["bash", os.path.join(REPO_DIR, "tools", "make_setup_folder.sh"), paths.build, root],
                   check=True, capture_output=True, timeout=60)
    # The bus driver file of a version that the installed utility accepts, as the setup's tests give it.
    rig.set_driver_version(paths, "3.3.0.0", os.path.join(root, "setup", "Drivers", "zkuptp", "zkuptp.sys"))
    fresh = FreshPrefix(paths, root)
    start_session(fresh)
    yield fresh
    fresh.end()


def install(box):
    run = Setup(box, os.path.join(box.root, "setup"), ("-k", "-Dlog"))
    assert run.wait(120) == 0
    assert "*** return [0] ***" in run.log(), run.log()
    assert os.path.isfile(box.installed(*UNINSTALLER))
    assert os.path.isfile(box.installed("Uninstall", "_Setup64.dll"))


def assert_only_known_left(differences, left):
    explained = known_left(left)
    unexplained = [d for d in left if not any(d in v for v in explained.values())]
    print_differences("every difference", differences)
    for reason, items in explained.items():
        print_differences("left: " + reason, items)
    assert not unexplained, unexplained


def print_differences(title, differences):
    print("%s (%d):" % (title, len(differences)))
    for kind, name, what in differences:
        print("  %-5s %-7s %s" % (kind, what, name))


def temp_folder(box):
    """The Linux path of the prefix user's TEMP folder."""
    echoed = box.run("cmd", "/c", "echo %TEMP%").stdout.decode("latin-1").strip()
    assert echoed[1:3] == ":\\", echoed
    return box.drive_c(*echoed[3:].split("\\"))


def failed_removal_keeps_everything(box):
    """With a file in the TEMP folder's place the second stage's copies cannot be made: the
    removal stops before anything goes, and says so in its exit code."""
    temp = temp_folder(box)
    os.rename(temp, temp + ".away")
    try:
        with open(temp, "w") as f:
            f.write("not a folder")
        removal = Uninstaller(box, ("-s", "-t", "-dlog"))
        code = removal.proc.wait(timeout=180)
    finally:
        os.remove(temp)
        os.rename(temp + ".away", temp)
    log = removal.log()
    assert code == EXIT_STAGE_TWO_FAILED, (code, log)
    assert "*** Delete Files Information ***" not in log and not removal.stage_two_log(), log
    for name in ("unflist.ini", "Remvane.ini", "Remvane.exe", "_Setup64.dll"):
        assert os.path.isfile(box.installed("Uninstall", name)), name
    assert rig.reg_values(box, PRODUCT_KEY)["DisplayName"][1] == "Quelbo Plus"


def test_silent_removal_leaves_the_prefix_as_it_was(box):
    before = Snapshot(box)
    install(box)
    failed_removal_keeps_everything(box)
    removal = Uninstaller(box, ("-s", "-t", "-dlog"))
    code = removal.proc.wait(timeout=180)
    stage_two = removal.wait_for_stage_two()
    log = removal.log()
    after = box.after_silent = Snapshot(box)

    differences = before.differences(after)
    scheduled = scheduled_deletions(after)
    left = not_scheduled(differences, box, scheduled)
    print("\n".join(log))
    assert_only_known_left(differences, left)

    # The temporary copy that ran stage two goes at the next restart with the folder of its
    # own that stage one made for it, and nothing else does.
    started = log[log.index("*** Temp Information ***") + 3].strip()
    copy = started[:started.index(" -u")]
    assert scheduled == ["\\??\\" + copy, "\\??\\" + copy[:copy.rindex("\\")]], (scheduled, started)

    assert code == 0, log
    assert "  Uninstall Start!!" in stage_two and "  Finish !!" in stage_two
    assert "*** return [1] ***" in stage_two, stage_two
    # The COM port driver goes first, after the bus driver was asked to drop its COM ports.
    assert "    Zkuptp_AllClearComInfo success.(Zkspe Driver)" in log

    calls = removal.helper_calls()
    assert calls[0] == "CheckUserPrivilege|0", calls
    for rule in ("Quelbo Plus", "Quelbo Plus Search", "Quelbo Plus Request"):
        assert "WindowsFirewallRemovePolicy|" + rule in calls, calls


def frame_controls(gui, frame):
    """The frame's buttons and the visible page's controls, by id (pages hidden are left out)."""
    controls = {}
    for child in gui.must("children", frame)["children"]:
        if child["visible"] and child["class"] == "#32770":
            controls.update({c["id"]: c for c in gui.must("children", child["hwnd"])["children"]})
        elif child["visible"]:
            controls[child["id"]] = child
    return controls


def test_removal_walked_through_the_wizard_gives_the_same_result(box):
    install(box)
    gui = rig.Gui(box, "Remvane.exe")
    shots = os.path.join(box.root, "uninstall_%s.png")
    removal = Uninstaller(box, ("-t", "-dlog"))

    question = gui.message_box(60000)
    assert question["title"] == UNINSTALL_TITLE and question["text"] == CHECK_00, question
    gui.screenshot_png(shots % "question")
    gui.answer(question, 6)  # Yes

    # No Welcome text: the wizard opens on the Uninstall page, which starts the removal.
    frame = gui.must("wait", "#32770", UNINSTALL_TITLE, 30000)
    controls = frame_controls(gui, frame["hwnd"])
    assert 1000 in controls and controls[NEXT]["enabled"] is False, controls
    gui.screenshot_png(shots % "progress", frame["rect"])

    def finish_page():
        now = frame_controls(gui, frame["hwnd"])
        return now if now[NEXT]["text"] == "&Finish" and now[NEXT]["enabled"] else None

    controls = rig.wait_for(finish_page, timeout=120)
    assert controls[1006]["text"] == "Quelbo Plus has been removed", controls
    assert controls[2]["enabled"] is False
    gui.screenshot_png(shots % "finish", frame["rect"])
    gui.must("press", frame["hwnd"], NEXT)
    gui.must("gone", frame["hwnd"], 20000)
    assert removal.proc.wait(timeout=60) == 0
    stage_two = removal.wait_for_stage_two()
    assert "  Finish !!" in stage_two and "*** return [1] ***" in stage_two, stage_two
    calls = removal.helper_calls()
    assert "WindowsFirewallRemovePolicy|Quelbo Plus Search" in calls, calls

    # The same prefix as after the silent removal (its leftovers included); the session's
    # start in between carried out what the silent removal had scheduled.
    after = Snapshot(box)
    differences = box.after_silent.differences(after)
    left = not_scheduled(differences, box, scheduled_deletions(box.after_silent) + scheduled_deletions(after))
    assert_only_known_left(differences, left)


def test_stage_two_removes_no_program_but_the_recorded_uninstaller(box):
    """A list whose EXECFILE names another file than the install's uninstaller (changed after
    stage one copied it): stage two leaves that file alone."""
    folder = box.drive_c("stage_two_e2e")
    os.makedirs(folder, exist_ok=True)
    program = os.path.join(folder, UNINSTALLER[1])
    shutil.copyfile(os.path.join(box.root, "setup", "Files", UNINSTALLER[1]), program)
    victim = box.drive_c("victim_e2e", UNINSTALLER[1])
    os.makedirs(os.path.dirname(victim), exist_ok=True)
    with open(victim, "w") as f:
        f.write("not the uninstaller")
    installed = "C:\\" + "\\".join(INSTALL)
    with open(os.path.join(folder, "unflist.ini"), "w", newline="") as f:
        f.write("[UNINSTALL]\r\nEXECFILE=C:\\victim_e2e\\Remvane.exe\r\nPATH=%s\r\n"
                "[FILE]\r\nFILE_000=%s\\Uninstall\\Remvane.exe\r\n" % (installed, installed))
    with open(os.path.join(folder, "Remvane.ini"), "w", newline="") as f:
        f.write("[INFO]\r\nUNINSTLOG=unflist.ini\r\nCLASSNAME=QZ_STAGE_TWO_E2E\r\n")
    log = box.drive_c("Setup.txt")
    if os.path.exists(log):
        os.remove(log)
    run = box.run(program, "-u", "-s", "-t", "-dlog", timeout=120)
    assert run.returncode == 1
    assert os.path.isfile(victim)
    text = open(log, "rb").read().decode("latin-1")
    assert "  Refused EXECFILE C:\\victim_e2e\\Remvane.exe" in text and "  Finish !!" in text, text
