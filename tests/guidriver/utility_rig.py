"""The utility under test: QuelboZovu.exe started through wine-run, its windows driven by
guidriver.exe, its log files and registry values read from the build's Wine prefix."""

import contextlib
import glob
import json
import os
import shutil
import struct
import subprocess
import tempfile
import time
import zlib

OPTION_KEY = r"HKCU\Software\Orvik\Quelbo Plus"
CLASS = "QUELBO_PLUS"
TITLE = "Quelbo Plus"
UM_EXIT = 0x81F9
WM_COMMAND = 0x0111
# The stand-in zkuptp.sys reports 1.2.3.4, older than the utility accepts: its tests give the
# prefix a copy that reports this version, and put the stand-in back at their end.
ACCEPTED_DRIVER = "3.3.0.0"


class Gui:
    """One guidriver.exe run per command; each answers with one JSON line."""

    def __init__(self, paths, program="QuelboZovu.exe"):
        self.paths = paths
        self.exe = os.path.join(paths.bin, "guidriver.exe")
        self.program = program  # only this program's windows are found

    def __call__(self, *args, timeout=90):
        done = subprocess.run([self.paths.wine_run, self.exe, "--exe", self.program, *[str(a) for a in args]],
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)
        lines = [l for l in done.stdout.decode("utf-8", "replace").splitlines() if l.startswith("{")]
        assert lines, "guidriver %r said nothing: %r" % (args, done.stderr[-500:])
        return json.loads(lines[-1])

    def must(self, *args, **kw):
        answer = self(*args, **kw)
        assert answer["ok"], (args, answer)
        return answer

    def children(self, hwnd):
        return {c["id"]: c for c in self.must("children", hwnd)["children"]}

    def message_box(self, timeout_ms=20000):
        return self.must("msgbox", timeout_ms)

    def answer(self, box, button_id=1):
        self.must("press", box["hwnd"], button_id)
        self.must("gone", box["hwnd"], 10000)

    def screenshot_png(self, path, rect=None):
        """The screen, or the part `rect` = [left, top, right, bottom] of it, as a PNG."""
        bmp = path + ".bmp"
        self.must("screenshot", bmp)
        with open(bmp, "rb") as f:
            data = f.read()
        os.remove(bmp)
        write_png_from_bmp(data, path, rect)


def write_png_from_bmp(data, path, rect=None):
    """A 24-bit bottom-up BMP (or the part `rect` of it) as an RGB PNG, standard library only."""
    offset, = struct.unpack_from("<I", data, 10)
    full_width, full_height = struct.unpack_from("<ii", data, 18)
    stride = (full_width * 3 + 3) & ~3
    left, top, right, bottom = rect or (0, 0, full_width, full_height)
    left, top = max(0, left), max(0, top)
    right, bottom = min(full_width, right), min(full_height, bottom)
    width, height = right - left, bottom - top
    rows = []
    for y in range(top, bottom):
        start = offset + (full_height - 1 - y) * stride + left * 3
        row = data[start: start + width * 3]
        rgb = bytearray(len(row))
        rgb[0::3], rgb[1::3], rgb[2::3] = row[2::3], row[1::3], row[0::3]
        rows.append(b"\x00" + bytes(rgb))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def wine_path(path):
    """The Windows name of a host path, through Wine's Z: drive."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Tray:
    """The stand-in notification area (tray_recorder.exe), started before the utility so that
    Wine's Shell_NotifyIconW hands it the utility's tray calls: `lines()` are its records
    ("add icon=101 tip=...", "modify icon=182 tip=-", "modify balloon title=... text=... time=...")."""

    def __init__(self, paths, name):
        self.path = os.path.join(paths.build, name)
        if os.path.exists(self.path):
            os.remove(self.path)
        theme = os.path.join(paths.bin, "Themes", "Quelbotheme.dll")
        self.proc = subprocess.Popen([paths.wine_run, os.path.join(paths.bin, "tray_recorder.exe"),
                                      wine_path(self.path), wine_path(theme)],
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        first = self.proc.stdout.readline().decode("utf-8", "replace").split()
        assert first[:1] == ["ready"] and int(first[1]) > 0, "the stand-in tray did not start: %r" % first

    def lines(self):
        if not os.path.exists(self.path):
            return []
        return open(self.path, encoding="utf-8").read().splitlines()

    def icons(self, since=0):
        """The icon ids that the calls after line `since` set."""
        return [int(l.split()[1][5:]) for l in self.lines()[since:] if l.split()[1].startswith("icon=")
                and not l.startswith("delete")]

    def close(self):
        if self.proc.poll() is None:
            self.proc.stdin.close()  # it ends with its input
            try:
                self.proc.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


class ShellRecord:
    """Points the prefix's http and https open commands and the folder's explore verb at
    open_recorder.exe, which appends "verb|target" to a file instead of opening anything;
    `close()` puts the previous commands back."""

    KEYS = {"open": [r"HKCR\http\shell\open\command", r"HKCR\https\shell\open\command"],
            "explore": [r"HKCR\Folder\shell\explore\command"]}

    def __init__(self, paths, name):
        self.paths = paths
        self.path = os.path.join(paths.build, name)
        if os.path.exists(self.path):
            os.remove(self.path)
        recorder = wine_path(os.path.join(paths.bin, "open_recorder.exe"))
        self.saved = []
        for verb, keys in self.KEYS.items():
            for key in keys:
                code, out = reg(paths, "query", key, "/ve")
                old = [l.split("REG_SZ", 1)[1].strip() for l in out.splitlines() if "REG_SZ" in l]
                self.saved.append((key, old[0] if code == 0 and old else None))
                command = '"%s" "%s" %s "%%1"' % (recorder, wine_path(self.path), verb)
                assert reg(paths, "add", key, "/ve", "/d", command, "/f")[0] == 0, key

    def lines(self):
        if not os.path.exists(self.path):
            return []
        return open(self.path, encoding="utf-8").read().splitlines()

    def close(self):
        for key, old in self.saved:
            if old is None:
                reg(self.paths, "delete", key, "/ve", "/f")
            else:
                reg(self.paths, "add", key, "/ve", "/d", old, "/f")


# Every utility started by this test file, for the report of a failed test (tests/e2e/conftest.py).
STARTED = []


class Utility:
    """One QuelboZovu.exe process."""

    def __init__(self, paths, args=(), exe=None, cwd=None, env=None):
        """`env`: variables added to the program's environment."""
        self.paths = paths
        self.exe = exe or os.path.join(paths.bin, "QuelboZovu.exe")
        # wine-run's stderr (the program's own, and its exit code when not 0) is kept for the
        # report of a failed test.
        self.stderr = tempfile.TemporaryFile()
        self.proc = subprocess.Popen([paths.wine_run, self.exe, *args], stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, stderr=self.stderr,
                                     cwd=cwd or os.path.dirname(self.exe),
                                     env=dict(os.environ, **env) if env else None)
        STARTED.append(self)

    def describe(self):
        """A line for the report of a failed test: how the program ended, and its stderr."""
        self.stderr.seek(0)
        err = self.stderr.read().decode("utf-8", "replace").strip()[-1500:]
        code = self.proc.poll()
        return "%s %s: %s%s" % (os.path.basename(self.exe), " ".join(self.proc.args[2:]),
                                "running" if code is None else "ended with %d" % code,
                                ("\n" + err) if err else "")

    def wait(self, timeout=60):
        return self.proc.wait(timeout=timeout)

    def close(self, gui=None):
        """Ends the program if it still runs: the exit message first, then by its process id
        (ending wine-run alone would leave the Windows process, with the library loaded, in the
        Wine session)."""
        if self.proc.poll() is not None:
            return
        gui = gui or Gui(self.paths, os.path.basename(self.exe))
        main = gui("find", CLASS, TITLE, 2000)
        if main.get("ok"):
            gui("post", main["hwnd"], UM_EXIT, 0, 1)
            try:
                self.proc.wait(timeout=20)
                return
            except subprocess.TimeoutExpired:
                pass
        for _ in range(3):
            window = gui("find", "*", "*", 2000)  # any window of the program, a message box too
            if not window.get("ok"):
                break
            subprocess.run([self.paths.wine_run, "taskkill", "/f", "/pid", str(window["pid"])],
                           stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
            try:
                self.proc.wait(timeout=20)
                return
            except subprocess.TimeoutExpired:
                pass
        try:
            self.proc.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()


def log_path(paths):
    return paths.drive_c("Tessoralog.txt")


def library_log_path(paths):
    return paths.drive_c("Pnxsclog.txt")


def clear_logs(paths):
    for path in (log_path(paths), library_log_path(paths)):
        if os.path.exists(path):
            os.remove(path)


def log_lines(paths):
    """The utility's log (UTF-16LE), without the time stamps."""
    path = log_path(paths)
    if not os.path.exists(path):
        return []
    text = open(path, "rb").read().decode("utf-16", "replace")
    return [line[21:] if len(line) > 21 and line[4] == "/" else line for line in text.splitlines()]


def library_log(paths):
    path = library_log_path(paths)
    return open(path, "rb").read().decode("latin-1") if os.path.exists(path) else ""


def reg(paths, *args):
    done = subprocess.run([paths.wine_run, "reg", *args], stdin=subprocess.DEVNULL, capture_output=True,
                          timeout=60)
    out = done.stdout
    text = out.decode("utf-16-le", "replace") if out.count(b"\x00") > len(out) // 4 else out.decode("utf-8", "replace")
    return done.returncode, text.replace("\r", "")


def reset_registry(paths):
    reg(paths, "delete", OPTION_KEY, "/f")


def reg_values(paths, key=OPTION_KEY + r"\Option"):
    """{name: (type, data text)} of one key, as reg query prints them."""
    code, out = reg(paths, "query", key)
    values = {"": ("", out)}
    for line in out.splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) >= 2 and parts[1].startswith("REG_"):
            values[parts[0]] = (parts[1], parts[2] if len(parts) > 2 else "")
    return values


def startup_shortcuts(paths):
    """The Startup folder's "Quelbo Plus.lnk" (Wine names the folder "StartUp")."""
    pattern = paths.drive_c("users", "*", "AppData", "Roaming", "Microsoft", "Windows", "Start Menu",
                            "Programs", "*", "Quelbo Plus.lnk")
    return [p for p in glob.glob(pattern) if os.path.basename(os.path.dirname(p)).lower() == "startup"]


def set_driver_version(paths, version, target=None):
    """Writes a copy of the stand-in zkuptp.sys whose version resource says `version` (into the
    prefix's drivers folder, or to `target`)."""
    major, minor, build, revision = (list(map(int, version.split("."))) + [0, 0, 0])[:4]
    source = os.path.join(paths.bin, "zkuptp.sys")
    data = bytearray(open(source, "rb").read())
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    assert at > 0, "no fixed version info in zkuptp.sys"
    struct.pack_into("<IIII", data, at + 8, (major << 16) | minor, (build << 16) | revision,
                     (major << 16) | minor, (build << 16) | revision)
    target = target or os.path.join(paths.system_drivers, "zkuptp.sys")
    temp = target + ".version"
    with open(temp, "wb") as f:
        f.write(data)
    os.replace(temp, target)


@contextlib.contextmanager
def accepted_driver(paths):
    """A bus driver file that the utility accepts in the prefix for the block; the stand-in is
    back afterwards."""
    from conftest import install_stand_in_driver
    set_driver_version(paths, ACCEPTED_DRIVER)
    try:
        yield
    finally:
        install_stand_in_driver(paths)


def fresh_prefix(paths):
    """The prefix as on the utility's first run: a bus driver file it accepts, no Option key and
    no log files."""
    set_driver_version(paths, ACCEPTED_DRIVER)
    reset_registry(paths)
    clear_logs(paths)


@contextlib.contextmanager
def bridged_simulator(paths, lan_ns, servers, this_pc):
    """`fresh_prefix`, the bus bridge on the main bus and a simulator of `servers` that answers
    searches and whose connects the bridge attaches. Yields (sim, bridge, start): the caller
    describes its servers and devices, then `start()` runs the utility with -dlog -m. At the
    end the utility is closed, the servers' ports leave the bus, the bridge ends and the
    stand-in driver file is back."""
    from conftest import install_stand_in_driver
    from simctl import BusBridge, Simulator
    fresh_prefix(paths)
    bridge = BusBridge(paths.wine_run, os.path.join(paths.bin, "zkuptp_bridge.exe"), this_pc)
    started = []

    def start():
        started.append(Utility(paths, ["-dlog", "-m"]))
        return started[-1]
    try:
        with Simulator(servers, netns=lan_ns, discovery=True, max_seconds=280) as sim:
            sim.set_bridge(*bridge.address)
            yield sim, bridge, start
    finally:
        try:
            for utility in started:
                utility.close()
            for server, location in bridge.ports():
                if server in servers:
                    bridge.ask("detach %s %s" % (server, location))
        finally:
            bridge.close()
            install_stand_in_driver(paths)


def wait_for(condition, timeout=30, step=0.3, seen=None):
    """Polls `condition` until it gives a true value; `seen()`, when given, says what was there
    instead in the failure message."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        assert time.monotonic() < deadline, "condition not met" + (": %r" % (seen(),) if seen else "")
        time.sleep(step)
