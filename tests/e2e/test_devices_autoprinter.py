"""Auto Printer end to end, with the printer helper service.

The harness loads the library with the stand-in spooler (sim/spooler, a printer set of its own)
that holds the printer Windows installed for a simulated printer device: the device's driver
description (the simulator's model name) on the port its device-tree node got. The real helper
service, installed in the prefix through the service control manager, hears the library over
the real pipe and marks a printer of the prefix's own spooler with that driver and port
(qz_printer.exe). Auto Printer is turned on while the device is disconnected, its printer node
not present; a job on the stand-in printer asks for the device's connect and its end for the
disconnect; the test answers as the utility does, queuing the request with Auto Printer's
connect action (3).

Server 10.77.0.58 of the connect tests' rig. Every library start clears the service's table,
so the test runs alone.
"""

import os
import re
import subprocess
import time

import pytest

from conftest import Harness, run_wine, wine_path
from test_devices import FREE, CONNECTED, PNXET_CONNECT, PNXET_DISCONNECT, ok, wait_until
from test_devices_connect import A as S, RESULT, bridge, rig, start, device_of, run, attached  # noqa: F401

SERVICE = "Orvik Quelbo Plus Helper"
DRIVER = "QZ Helper Test Driver"  # the model name, so the driver of qz_printer.exe's printer
STAND_IN = "QZ Auto Jet"
AUTO_PRINTER_ACTION = 3
PROPERTY_AUTOMATIC, PRINTER_AUTO_PRINTER = 0x8, 0x1


def service_state(paths):
    out = run_wine(paths, "sc", "query", SERVICE).stdout.decode("latin-1")
    found = re.search(r"STATE\s*:\s*\d+\s+(\w+)", out)
    return found.group(1) if found else None


def remove_service(paths):
    if service_state(paths) is None:
        return
    run_wine(paths, "sc", "stop", SERVICE)
    deadline = time.monotonic() + 15
    while service_state(paths) not in ("STOPPED", None) and time.monotonic() < deadline:
        time.sleep(0.2)
    run_wine(paths, "sc", "delete", SERVICE)


@pytest.fixture
def service(paths):
    remove_service(paths)
    program = wine_path(os.path.join(paths.bin, "usbhelper.exe"))
    created = run_wine(paths, "sc", "create", SERVICE, "binPath=", '"%s" /service' % program, "start=", "demand")
    assert created.returncode == 0, created.stdout
    assert run_wine(paths, "sc", "start", SERVICE).returncode == 0
    deadline = time.monotonic() + 20
    while service_state(paths) != "RUNNING":
        assert time.monotonic() < deadline, "the helper service did not start"
        time.sleep(0.2)
    yield
    remove_service(paths)


def ini_comment(paths):
    with open(os.path.join(paths.bin, "Pnxmsg.ini"), encoding="utf-16") as f:
        text = f.read()
    section = text.split("[PRINTER]", 1)[1].split("\n[", 1)[0]
    return re.search(r"^COMMENT=(.*?)\r?$", section, re.M).group(1)


class RealPrinter:
    """qz_printer.exe: a printer of the prefix's spooler with the test driver on PORT."""

    def __init__(self, paths, port):
        env = {k: v for k, v in os.environ.items() if k != "QZ_DLLOVERRIDES"}  # Wine's own spooler
        self.proc = subprocess.Popen([paths.wine_run, os.path.join(paths.bin, "qz_printer.exe"), port], env=env,
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        first = self.proc.stdout.readline().decode().strip()
        assert first.startswith("ready "), first

    def comment(self):
        self.proc.stdin.write(b"comment\n")
        self.proc.stdin.flush()
        return self.proc.stdout.readline().decode().rstrip("\r\n")[len("comment "):]

    def wait_comment(self, text, timeout=20):
        deadline = time.monotonic() + timeout
        while self.comment() != text:
            assert time.monotonic() < deadline, "the printer's comment stayed %r" % self.comment()
            time.sleep(0.2)

    def close(self):
        self.proc.stdin.close()
        self.proc.wait(timeout=30)


@pytest.fixture
def harness(paths, service, monkeypatch):
    """The library with the stand-in spooler; the connect tests' rig registers it on the
    bridge's bus beside two simulated servers."""
    monkeypatch.setenv("QZ_DLLOVERRIDES", "winspool.drv=n,b")
    monkeypatch.setenv("QZ_FAKE_SPOOLER", "e2e_autoprinter")
    h = Harness(paths)
    yield h
    h.command('fakeprinter "%s" remove=1' % STAND_IN)
    h.close()


def log_text(folder):
    """Every log of the library's, one text."""
    text = ""
    for name in os.listdir(folder):
        with open(os.path.join(folder, name), "rb") as f:
            text += f.read().decode("latin-1")
    return text


def jobs_gone(folder):
    """How often the library's log says that a device's printers lost their last job."""
    return len(re.findall(r"Jobs Count3\(Old [1-9]\d*, New 0\)", log_text(folder)))


def auto_notices(h, device, kind):
    return [n for n in h.notifications("PNXN_DEVICE")
            if n["kind"] == kind and n.get("devices") == [{"device": device, "type": AUTO_PRINTER_ACTION}]]


def jobs(h, size):
    ok(h.command('fakeprinter "%s" jobbytes=%d' % (STAND_IN, size)))


def test_print_jobs_connect_and_disconnect_the_device_and_the_helper_marks_its_printer(rig, paths):
    h, sim, bridge = rig
    folder = paths.drive_c("qz-connect-%d" % os.getpid())  # the rig's log folder
    sim.plug(S, name=DRIVER, port="1", location="1-1", interfaces=[[7, 1]])
    server = start(h, [S])[S]
    device = device_of(h, server, DRIVER, FREE)["device"]

    # Connected once, Windows installs the device's printer on the port of its node; the node
    # stays, not present, with that port when the device is disconnected again.
    assert run(h, "connect %s wait=1 action=1" % device, device)[1] == ("PNXN_CONNECT", RESULT, 0)
    [port] = [p for (_, _, p) in bridge.tree(S, "1-1") if p != "-"]
    assert run(h, "disconnect %s action=1" % device, device)[-1][1] == 4
    ok(h.command("renewdevices %s mode=2" % server))
    device_of(h, server, DRIVER, FREE)
    ok(h.command('fakeprinter "%s" driver="%s" port=%s jobbytes=0' % (STAND_IN, DRIVER, port)))
    # The library's printer watcher looks every few seconds; once it has seen the printer it
    # renews every Auto Printer, which would announce the pair again after the table's clear.
    wait_until(h, lambda: ">> Add Printer Object!! (%s) <<" % STAND_IN in log_text(folder), 20)
    printer = RealPrinter(paths, port)
    try:
        # Auto Printer on for the free, disconnected device: its printers open and the pair
        # reaches the service, which marks the prefix's printer of that driver and port.
        comment = ini_comment(paths)
        settings = ok(h.command("deviceinfo %s" % device))["info"]
        ok(h.command("setdeviceproperty %s property=%d printer=%d wait=0" % (
            device, settings["property"] | PROPERTY_AUTOMATIC, settings["printer"] | PRINTER_AUTO_PRINTER)))
        ok(h.command("renewdevices %s mode=2" % server))
        printer.wait_comment(comment)

        # Auto Printer off: the pair goes and the service clears the mark; on again, it is
        # marked again until a library's start clears the service's whole table.
        settings = ok(h.command("deviceinfo %s" % device))["info"]
        ok(h.command("setdeviceproperty %s printer=%d" % (device, settings["printer"] & ~PRINTER_AUTO_PRINTER)))
        ok(h.command("renewdevices %s mode=2" % server))
        printer.wait_comment("")
        ok(h.command("setdeviceproperty %s printer=%d" % (device, settings["printer"])))
        ok(h.command("renewdevices %s mode=2" % server))
        printer.wait_comment(comment)
        other = Harness(paths)
        try:
            ok(other.command("initialize"))
            printer.wait_comment("")
        finally:
            other.close()

        def auto_connect(count):
            wait_until(h, lambda: len(auto_notices(h, device, PNXET_CONNECT)) == count, 20)
            connects = len(sim.commands(S, kind="connect"))
            events = run(h, "connect %s wait=0 action=%d" % (device, AUTO_PRINTER_ACTION), device)
            assert events[1] == ("PNXN_CONNECT", RESULT, 0)
            assert len(sim.commands(S, kind="connect")) == connects + 1 and attached(bridge, S) == ["1-1"]
            assert [p for (_, _, p) in bridge.tree(S, "1-1") if p != "-"] == [port]
            ok(h.command("renewdevices %s mode=2" % server))
            device_of(h, server, DRIVER, CONNECTED)

        def auto_disconnect(count):
            wait_until(h, lambda: len(auto_notices(h, device, PNXET_DISCONNECT)) == count, 20)
            assert run(h, "disconnect %s action=%d" % (device, AUTO_PRINTER_ACTION), device)[-1][1] == 4
            assert attached(bridge, S) == []
            ok(h.command("renewdevices %s mode=2" % server))
            device_of(h, server, DRIVER, FREE)

        # A job connects the free device (on the same port); with waitTimer 0 its end
        # disconnects it at once.
        jobs(h, 4096)
        auto_connect(1)
        jobs(h, 0)
        auto_disconnect(1)

        # With a waitTimer, a job that comes while the wait runs keeps the device; the end of
        # that one disconnects it once the wait has run out. The wait leaves a loaded machine
        # seconds to bring the new job to the library.
        ok(h.command("setdeviceproperty %s wait=8000" % device))
        jobs(h, 2048)
        auto_connect(2)
        ended = jobs_gone(folder)
        jobs(h, 0)
        wait_until(h, lambda: jobs_gone(folder) > ended, 10)
        jobs(h, 2048)
        time.sleep(10)
        assert len(auto_notices(h, device, PNXET_DISCONNECT)) == 1
        jobs(h, 0)
        auto_disconnect(2)

    finally:
        printer.close()
