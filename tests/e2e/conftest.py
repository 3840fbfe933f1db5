"""Fixtures of the end-to-end tests: build paths, the harness driver and the LAN namespace.

The tests run under ctest inside tools/testnet.sh: QZ_BUILD_DIR names the x64 build tree,
QZ_LAN_NS the network namespace of the simulated servers, and DISPLAY a private X server.
"""

import json
import os
import queue
import shutil
import subprocess
import sys
import threading
import time
import uuid

import pytest

REPO_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
STAND_IN_DRIVER_VERSION = "1.2.3.4"


class BuildPaths:
    def __init__(self, build_dir):
        self.build = os.path.abspath(build_dir)
        self.bin = os.path.join(self.build, "bin")
        self.wine_run = os.path.join(self.build, "wine-run")
        self.harness = os.path.join(self.bin, "harness.exe")
        self.library = os.path.join(self.bin, "Pnxscapi.dll")
        self.prefix = os.path.join(self.build, "wineprefix")

    def drive_c(self, *parts):
        return os.path.join(self.prefix, "drive_c", *parts)

    @property
    def system_drivers(self):
        """The 64-bit system folder's drivers folder of the prefix (GetSystemDirectory)."""
        return self.drive_c("windows", "system32", "drivers")


def wine_path(path):
    """The Windows name of a host path, through Wine's Z: drive."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def unique_name(prefix="qz"):
    return "%s_%d_%s" % (prefix, os.getpid(), uuid.uuid4().hex[:8])


def install_stand_in_driver(paths):
    """Places the stand-in zkuptp.sys (version 1.2.3.4) in the prefix's drivers folder.

    Idempotent and safe when several tests do it at once: copy to a private name, then rename.
    """
    source = os.path.join(paths.bin, "zkuptp.sys")
    os.makedirs(paths.system_drivers, exist_ok=True)
    target = os.path.join(paths.system_drivers, "zkuptp.sys")
    if os.path.exists(target) and os.path.getsize(target) == os.path.getsize(source):
        with open(target, "rb") as a, open(source, "rb") as b:
            if a.read() == b.read():
                return target
    temp = target + "." + unique_name("tmp")
    shutil.copyfile(source, temp)
    os.replace(temp, target)
    return target


def run_wine(paths, *args, timeout=60):
    """Runs a Windows program of the prefix (e.g. "reg", "delete", ...) and returns the result."""
    return subprocess.run([paths.wine_run, *args], stdin=subprocess.DEVNULL, capture_output=True,
                          timeout=timeout)


class HarnessError(Exception):
    pass


class Harness:
    """harness.exe under Wine: send command lines, read its JSON lines.

    Every line that is not the awaited result (notifications, events) is kept in `self.lines`
    in arrival order, so a test can look at what came before or after a command.
    """

    def __init__(self, paths, args=(), cwd=None):
        self.paths = paths
        self.proc = subprocess.Popen(
            [paths.wine_run, paths.harness, *args],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
            cwd=cwd or paths.bin)
        self.lines = []          # every JSON line received, in order
        self._queue = queue.Queue()
        self._stderr = []
        threading.Thread(target=self._read_stdout, daemon=True).start()
        threading.Thread(target=self._read_stderr, daemon=True).start()
        self.ready = self.expect(lambda line: line.get("type") in ("ready", "error"), timeout=60)
        if self.ready.get("type") != "ready":
            raise HarnessError("harness did not start: %r" % self.ready)

    def _read_stdout(self):
        for raw in self.proc.stdout:
            text = raw.decode("utf-8", "replace").strip()
            if not text:
                continue
            try:
                line = json.loads(text)
            except ValueError:
                line = {"type": "garbage", "text": text}
            self._queue.put(line)
        self._queue.put(None)

    def _read_stderr(self):
        for raw in self.proc.stderr:
            self._stderr.append(raw.decode("utf-8", "replace"))

    @property
    def stderr(self):
        return "".join(self._stderr)

    def _next(self, deadline):
        remaining = deadline - time.monotonic()
        if remaining <= 0:
            raise HarnessError("timed out waiting for the harness")
        try:
            line = self._queue.get(timeout=remaining)
        except queue.Empty:
            raise HarnessError("timed out waiting for the harness") from None
        if line is None:
            self._queue.put(None)  # keep reporting the end to later readers
            raise HarnessError("harness output ended (exit %r): %s" % (self.proc.poll(), self.stderr))
        self.lines.append(line)
        return line

    def expect(self, predicate, timeout=30):
        """The first line (from now on) for which predicate(line) is true."""
        deadline = time.monotonic() + timeout
        while True:
            line = self._next(deadline)
            if predicate(line):
                return line

    def send(self, text):
        self.proc.stdin.write((text + "\n").encode())
        self.proc.stdin.flush()

    def command(self, text, timeout=30):
        """Sends one command line and returns its result line."""
        name = text.split(None, 1)[0]
        self.send(text)
        return self.expect(lambda line: line.get("type") == "result" and line.get("cmd") == name,
                           timeout=timeout)

    def notifications(self, msg=None):
        return [line for line in self.lines
                if line.get("type") == "notify" and (msg is None or line.get("msg") == msg)]

    def events(self, name=None):
        return [line for line in self.lines
                if line.get("type") == "event" and (name is None or line.get("event") == name)]

    def quit(self, timeout=30):
        """Asks the harness to end and returns its exit code."""
        if self.proc.poll() is None:
            try:
                self.send("quit")
                self.proc.stdin.close()
            except (BrokenPipeError, OSError):
                pass
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            raise

    def close(self):
        if self.proc.poll() is None:
            try:
                self.quit(timeout=15)
            except (subprocess.TimeoutExpired, HarnessError):
                pass


def lan_popen(args, **kwargs):
    """Starts a command inside the LAN namespace (the side of the simulated servers)."""
    return subprocess.Popen(["ip", "netns", "exec", os.environ["QZ_LAN_NS"], *args], **kwargs)


def lan_run(args, **kwargs):
    """Runs a command inside the LAN namespace to its end."""
    return subprocess.run(["ip", "netns", "exec", os.environ["QZ_LAN_NS"], *args], **kwargs)


@pytest.fixture(scope="session")
def paths():
    build_dir = os.environ.get("QZ_BUILD_DIR")
    if not build_dir:
        pytest.skip("QZ_BUILD_DIR is not set (run through ctest)")
    result = BuildPaths(build_dir)
    for required in (result.wine_run, result.harness, result.library):
        if not os.path.exists(required):
            pytest.fail("missing build output: %s" % required)
    return result


@pytest.fixture
def lan_ns():
    name = os.environ.get("QZ_LAN_NS")
    if not name:
        pytest.skip("QZ_LAN_NS is not set (run inside tools/testnet.sh)")
    return name


@pytest.fixture
def harness(paths):
    h = Harness(paths)
    yield h
    h.close()


@pytest.fixture
def stand_in_driver(paths):
    return install_stand_in_driver(paths)


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    """A failed test of the utility reports how each utility it started ended, with the tails
    of the utility's and the library's logs: they are gone once the next test clears them."""
    outcome = yield
    report = outcome.get_result()
    if not report.failed:
        return
    rig = sys.modules.get("utility_rig")
    if rig is None or not rig.STARTED:
        return
    paths = BuildPaths(os.environ.get("QZ_BUILD_DIR", ""))
    lines = [utility.describe() for utility in rig.STARTED]
    for path in (rig.log_path(paths), rig.library_log_path(paths)):
        if os.path.exists(path):
            raw = open(path, "rb").read()
            text = raw.decode("utf-16" if raw[:2] == b"\xff\xfe" else "latin-1", "replace")
            lines.append("--- last lines of %s\n%s" % (os.path.basename(path), "\n".join(text.splitlines()[-40:])))
    report.sections.append(("utility", "\n".join(lines)))
