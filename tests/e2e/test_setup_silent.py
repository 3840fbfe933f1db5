"""The setup program end to end in a Wine prefix of its own: the checks that stop it before
anything is installed, the silent install of the whole suite from the staged setup folder with
everything it leaves checked from Linux, the installed utility finding the simulated servers,
the checks against an installed suite, and a reinstall over the first.

The tests run in file order and share one fresh prefix (its own wineserver), so nothing of the
build's common prefix is touched; the stand-in setup helper library answers as each test asks.
"""

import configparser
import glob
import os
import shutil
import subprocess
import sys
import time

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "sim"))
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "guidriver"))

from conftest import REPO_DIR, wine_path  # noqa: E402
from simctl import Simulator  # noqa: E402
import utility_rig as rig  # noqa: E402

SETUP = "QuelboPlusSetup64.exe"
PRODUCT_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quelbo Plus"
SERVICE = "Orvik Quelbo Plus Helper"
SERVERS = ["10.77.0.50"]
INSTALL = ("Program Files", "Orvik", "Quelbo Plus")
STOPPED = "  Check Before Starting Error."
# Exit codes (setup/exit_codes.h).
EXIT_CHECK_FAILED, EXIT_CANCELLED = 13, 15
# System DLLs that Windows does not keep among its known DLLs, planted beside the setup program
# as copies of another library, and loaded the way Windows loads such a DLL (the program's
# folder first): the setup must never take them (their calls would end it). version.dll is not
# among them: Wine's own user32 imports it, so under Wine it loads before the program's first line.
PLANTED = ("winspool.drv", "userenv.dll", "mpr.dll")
PLANTED_OVERRIDES = ";".join(name.replace(".dll", "") + "=n,b" for name in PLANTED)
HEADINGS = ["*** Application ***", "*** Application II ***", "*** PortMonitor Check ***",
            "*** PreStart Check ***", "*** Component Check (Driver) ***",
            "*** Create Uninstall Information ***", "*** Component Information ***",
            "*** Copy Files ***", "*** Copy Files Ex ***", "*** Only Copy Files ***", "*** Firewall ***",
            "*** Service/File/COM Information ***", "*** Special Function ***", "*** ControlPanel ***",
            "*** Set RegistryKey ***", "*** LogFile ***", "*** return [0] ***"]


class FreshPrefix:
    """A prefix of its own with the build's programs: what utility_rig needs of BuildPaths."""

    def __init__(self, paths, root):
        self.build, self.bin = paths.build, paths.bin
        self.root = root
        self.prefix = os.path.join(root, "prefix")
        self.wine_run = os.path.join(root, "wine-run")
        self.helper_log = os.path.join(root, "helper.log")
        with open(paths.wine_run) as f:
            script = f.read()
        with open(self.wine_run, "w") as f:
            f.write(script.replace(paths.prefix, self.prefix).replace("export WINEDEBUG=-all", "export WINEDEBUG=err+all"))
        os.chmod(self.wine_run, 0o755)

    def drive_c(self, *parts):
        return os.path.join(self.prefix, "drive_c", *parts)

    @property
    def system_drivers(self):
        return self.drive_c("windows", "system32", "drivers")

    def installed(self, *parts):
        return self.drive_c(*INSTALL, *parts)

    def run(self, *args, timeout=60, **env):
        environment = dict(os.environ, WINEPREFIX=self.prefix, **env)
        return subprocess.run([self.wine_run, *args], stdin=subprocess.DEVNULL, capture_output=True,
                              timeout=timeout, env=environment)

    def end(self):
        subprocess.run(["/usr/lib/wine/wineserver", "-k"], env=dict(os.environ, WINEPREFIX=self.prefix),
                       stdin=subprocess.DEVNULL, capture_output=True, timeout=60)


class Setup:
    """One run of the staged setup program, the helper library answering as `script` says."""

    def __init__(self, box, folder, args, script=""):
        self.box = box
        for path in (box.drive_c("Setup.txt"), box.helper_log):
            if os.path.exists(path):
                os.remove(path)
        env = dict(os.environ, QZ_SETUP_HELPER_LOG=wine_path(box.helper_log), QZ_SETUP_HELPER_SCRIPT=script,
                   QZ_DLLOVERRIDES=getattr(box, "dll_overrides", ""))
        # Wine's messages of the last run stay in setup.stderr for a look after a failure.
        with open(os.path.join(box.root, "setup.stderr"), "wb") as stderr:
            self.proc = subprocess.Popen([box.wine_run, os.path.join(folder, SETUP), *args], cwd=folder,
                                         stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                         stderr=stderr, env=env)

    def wait(self, timeout=60):
        return self.proc.wait(timeout=timeout)

    def log(self):
        """Setup.txt without its time stamps."""
        path = self.box.drive_c("Setup.txt")
        if not os.path.exists(path):
            return []
        text = open(path, "rb").read().decode("latin-1")
        return [line[21:] if len(line) > 21 and line[4] == "/" else line for line in text.splitlines()]

    def helper_calls(self):
        path = self.box.helper_log
        return open(path).read().splitlines() if os.path.exists(path) else []


def fresh_box(paths, name):
    """build/<name>/ with the staged setup folder in setup/ and a new prefix, started."""
    root = os.path.join(paths.build, name)
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(root)
    subprocess.run(["bash", os.path.join(REPO_DIR, "tools", "make_setup_folder.sh"), paths.build, root],
                   check=True, capture_output=True, timeout=60)
    # A bus driver file of a version the utility accepts.
    rig.set_driver_version(paths, "3.3.0.0", os.path.join(root, "setup", "Drivers", "zkuptp", "zkuptp.sys"))
    fresh = FreshPrefix(paths, root)
    started = fresh.run("cmd", "/c", "exit", timeout=300)
    with open(os.path.join(root, "prefix.stderr"), "wb") as f:
        f.write(started.stderr)
    assert started.returncode == 0
    return fresh


@pytest.fixture(scope="module")
def screen():
    """An X server of the module's own for its Wine programs: a fresh prefix's desktop process
    has been seen not to start on the run's shared one, and photographs show no other test's windows."""
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                            pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as f:
        display = f.readline().strip()
    assert display, "Xvfb gave no display"
    before = os.environ.get("DISPLAY")
    os.environ["DISPLAY"] = ":" + display
    yield
    if before is None:
        del os.environ["DISPLAY"]
    else:
        os.environ["DISPLAY"] = before
    xvfb.kill()
    xvfb.wait()


@pytest.fixture(scope="module")
def box(paths, screen):
    fresh = fresh_box(paths, "setup_e2e")
    setup = os.path.join(fresh.root, "setup")
    for name in PLANTED:
        shutil.copyfile(os.path.join(setup, "_Setup64.dll"), os.path.join(setup, name))
    fresh.dll_overrides = PLANTED_OVERRIDES
    yield fresh
    fresh.end()


@pytest.fixture
def staged(box):
    return os.path.join(box.root, "setup")


def staged_copy(box, name, edit):
    """A copy of the setup folder whose CopyFile.ini is changed by edit(text)."""
    folder = os.path.join(box.root, name)
    shutil.rmtree(folder, ignore_errors=True)
    shutil.copytree(os.path.join(box.root, "setup"), folder)
    path = os.path.join(folder, "CopyFile.ini")
    with open(path, newline="") as f:
        text = f.read()
    with open(path, "w", newline="") as f:
        f.write(edit(text))
    return folder


def reg_value(box, key, name):
    """(type, data text) of one value, (None, None) when absent; the name may hold blanks."""
    code, out = rig.reg(box, "query", key, "/v", name)
    for line in out.splitlines() if code == 0 else ():
        head, _, rest = line.strip().partition(name + " ")
        parts = rest.split(None, 1)
        if not head and parts and parts[0].startswith("REG_"):
            return parts[0], parts[1] if len(parts) > 1 else ""
    return None, None


def list_ini(box):
    parser = configparser.RawConfigParser(strict=False)
    parser.optionxform = str
    parser.read(box.installed("Uninstall", "unflist.ini"), encoding="latin-1")
    return parser


def stopped_silently(box, staged, script, line, args=("-k", "-Dlog")):
    run = Setup(box, staged, args, script)
    code = run.wait(60)
    log = run.log()
    assert code == EXIT_CHECK_FAILED, (code, log)
    assert line in log and STOPPED in log, log
    assert "*** Copy Files ***" not in log
    return run


def test_checks_stop_a_silent_setup_before_anything_is_installed(box, staged):
    stopped_silently(box, staged, "notadmin", "  You do not have administrator privileges.")
    run = stopped_silently(box, staged, "sessions=2", "  More than one user is logged on.")
    assert "  Number of users logged in is 2." in run.log()
    assert not os.path.exists(box.installed())


def test_several_users_dialog_answered_both_ways(box, staged):
    gui = rig.Gui(box, SETUP)
    for button, goes_on in ((2, False), (1, True)):
        run = Setup(box, staged, ("-Dlog",), "sessions=3")
        dialog = gui.must("wait", "#32770", "Quelbo Plus Setup", 30000)
        children = gui.children(dialog["hwnd"])
        assert children[1101]["text"].startswith("Other users are logged on")
        assert children[1]["text"] == "&Continue" and children[2]["text"] == "Cancel"
        gui.must("press", dialog["hwnd"], button)
        gui.must("gone", dialog["hwnd"], 10000)
        if goes_on:
            # Past the checks the wizard shows its first page; leave it through Cancel.
            rig.wait_for(lambda: "*** Application II ***" in run.log(), timeout=30)
            frame = gui.must("wait", "#32770", "Quelbo Plus Setup", 30000)
            gui.must("post", frame["hwnd"], rig.WM_COMMAND, 2, 0)
            gui.answer(gui.message_box(), 6)
        assert run.wait(60) == (EXIT_CANCELLED if goes_on else EXIT_CHECK_FAILED)
        assert (STOPPED in run.log()) != goes_on, run.log()


def test_silent_install_end_to_end(box, staged):
    run = Setup(box, staged, ("-k", "-Dlog"))
    assert run.wait(90) == 0
    log = run.log()
    at = [log.index(h) for h in HEADINGS]
    assert at == sorted(at), log
    check_installed_suite(box, run)


def check_installed_suite(box, run):
    """Everything a finished install leaves, checked from Linux."""
    for name in ("QuelboZovu.exe", "Pnxscapi.dll", "Pnxmsg.ini", "usbhelper.exe", "Component.ini",
                 os.path.join("Themes", "Quelbotheme.dll"), os.path.join("Uninstall", "Remvane.ini"),
                 os.path.join("Drivers", "zkuptp", "zkuptp.sys"), os.path.join("Drivers", "zkuptp", "zkuptp.inf")):
        assert os.path.isfile(box.installed(name)), name
    programs = box.drive_c("ProgramData", "Microsoft", "Windows", "Start Menu", "Programs")
    assert os.path.isfile(os.path.join(programs, "Quelbo Plus", "Quelbo Plus.lnk"))
    assert os.path.isfile(os.path.join(programs, "StartUp", "Quelbo Plus.lnk"))
    assert os.path.isfile(box.drive_c("users", "Public", "Desktop", "Quelbo Plus.lnk"))

    records = list_ini(box)
    for section in ("FILE", "PATH", "UNINSTALL", "SHORTCUT", "COMPONENT", "APPLICATION"):
        assert records.has_section(section), (section, records.sections())
    assert records.get("COMPONENT", "SERVICE_00").startswith("Helper;")
    assert records.get("COMPONENT", "INIFILE").endswith("\\Quelbo Plus\\Component.ini")

    values = rig.reg_values(box, PRODUCT_KEY)
    assert values["UninstallString"][1] == '"C:\\Program Files\\Orvik\\Quelbo Plus\\Uninstall\\Remvane.exe" -r'
    assert values["DisplayVersion"][1] == "1.0.0" and values["DisplayName"][1] == "Quelbo Plus"
    assert reg_value(box, r"HKLM\Software\Zkuptp Driver", "Zkuptp Driver")[0] is not None
    assert "Quelbo Plus" in rig.reg(box, "query", r"HKLM\Software\Zkuptp Driver")[1]

    service = rig.reg_values(box, r"HKLM\System\CurrentControlSet\Services" "\\" + SERVICE)
    assert service["ImagePath"][1] == '"C:\\Program Files\\Orvik\\Quelbo Plus\\usbhelper.exe" /service'
    assert service["Start"][1] == "0x2"
    rig.wait_for(lambda: "RUNNING" in box.run("sc", "query", SERVICE).stdout.decode("latin-1"), timeout=30)

    # Every driver the setup ships: its package staged in the driver store, its file in place and
    # its use counted for the suite (the COM port driver's device appears only once one is connected).
    for hardware_id, sys_file, counted in (("ROOT\\ZKUPTP", "zkuptp.sys", "Zkuptp Driver"),
                                           ("ZKUPTP\\ZKSPE", "zkspe.sys", "Zkspe Driver"),
                                           ("ROOT\\ZKHIDFLT", "Zkhidflt.sys", "Zkhidflt Driver")):
        infs = [p for p in glob.glob(box.drive_c("windows", "inf", "*.inf")) + glob.glob(box.drive_c("windows", "inf", "*.INF"))
                if hardware_id in open(p, "rb").read().decode("latin-1")]
        assert infs and os.path.isfile(os.path.join(box.system_drivers, sys_file)), hardware_id
        assert reg_value(box, r"HKLM\Software\Zkuptp Driver", counted)[0] == "REG_DWORD", counted
    assert "ImagePath" in rig.reg_values(box, r"HKLM\System\CurrentControlSet\Services\ZKUPTP")

    calls = run.helper_calls()
    assert calls[:2] == ["CheckUserPrivilege|0", "GetWTSSessionCount"]
    assert "WindowsFirewallAddApp2|Quelbo Plus|C:\\Program Files\\Orvik\\Quelbo Plus\\QuelboZovu.exe|Network USB devices" in calls
    assert "WindowsFirewallAddPort2|Quelbo Plus Search|1|19540" in calls
    assert "WindowsFirewallAddPort2|Quelbo Plus Request|1|49300" in calls


def test_installed_utility_finds_servers_and_stops_a_setup(box, staged, lan_ns):
    with Simulator(SERVERS, netns=lan_ns, discovery=True, max_seconds=120) as sim:
        sim.identity(SERVERS[0], host="SETUP-LAB", model="QZ-7000")
        # A fresh user starts in the tray (MiniMode 1): -m shows the main dialog.
        utility = rig.Utility(box, ("-dlog", "-m"), exe=box.installed("QuelboZovu.exe"))
        gui = rig.Gui(box)
        try:
            gui.must("wait", "#32770", rig.TITLE, 60000)
            rig.wait_for(lambda: sim.requests(SERVERS[0]), timeout=60)
            # A running product program stops the setup (silent: no box, no message to it).
            stopped_silently(box, staged, "", "  Running the application.(Quelbo Plus)")
        finally:
            utility.close(gui)


def test_newer_version_and_precheck_stop_keep_the_installed_suite(box, staged):
    def version(text, packed):
        rig.reg(box, "add", PRODUCT_KEY, "/v", "DisplayVersion", "/d", text, "/f")
        rig.reg(box, "add", PRODUCT_KEY, "/v", "Version", "/t", "REG_DWORD", "/d", str(packed), "/f")

    version("9.0.0", 0x09000000)
    try:
        run = stopped_silently(box, staged, "", "  You are trying to install an older version.")
        assert "  QuelboPlus (Old Version : 9.0.0, New Version : 1.0.0)" in run.log()
    finally:
        version("1.0.0", 0x01000000)
    stop = staged_copy(box, "precheck", lambda t: t.replace("[QuelboPlus_INFO]", "[QuelboPlus_INFO]\r\nPRECHECK=STOP"))
    stopped_silently(box, stop, "", "  Please try to uninstall Quelbo Plus.")


def test_reinstall_gives_the_same_records_without_duplicates(box, staged):
    before = list_ini(box)
    values = rig.reg_values(box, PRODUCT_KEY)
    run = Setup(box, staged, ("-k", "-Dlog"))
    assert run.wait(90) == 0
    assert "*** return [0] ***" in run.log() and STOPPED not in run.log()
    after = list_ini(box)
    assert sorted(after.sections()) == sorted(before.sections())
    for section in after.sections():
        items = dict(after.items(section))
        assert items == dict(before.items(section)), section
        listed = [v.lower() for k, v in items.items() if k[-1:].isdigit()]
        assert len(listed) == len(set(listed)), (section, listed)
    assert rig.reg_values(box, PRODUCT_KEY) == values
    firewall = [c for c in run.helper_calls() if c.startswith("WindowsFirewallAdd")]
    assert len(firewall) == len(set(firewall)) == 3
