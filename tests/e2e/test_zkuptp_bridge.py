"""The bridge to the simulated bus driver: text commands over UDP change the driver's ports.

The bridge steers a bus of its own (--new-bus), so the test leaves the main bus alone.
"""

import os
import socket
import subprocess
import sys
import time

import pytest

from conftest import lan_run

PC_ADDR = os.environ.get("QZ_PC_ADDR", "127.0.0.1")


class Bridge:
    def __init__(self, paths, bind):
        exe = os.path.join(paths.bin, "zkuptp_bridge.exe")
        tag = 700000 + os.getpid() % 100000
        self.proc = subprocess.Popen(
            [paths.wine_run, exe, "--bind", bind, "--port", "0", "--new-bus", str(tag), "--seconds", "120"],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        first = self.proc.stdout.readline().decode().split()
        if len(first) != 2 or first[0] != "ready":
            self.proc.kill()
            raise AssertionError("bridge did not start: %r %s" % (first, self.proc.stderr.read()))
        self.address = (bind, int(first[1]))
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.settimeout(10)

    def ask(self, text):
        self.sock.sendto(text.encode(), self.address)
        reply, _ = self.sock.recvfrom(65536)
        return reply.decode()

    def ports(self):
        lines = self.ask("ports").split("\n")
        assert lines[0] == "OK %d" % (len(lines) - 1)
        return {tuple(line.split()[:2]): dict(f.split("=", 1) for f in line.split()[2:]) for line in lines[1:]}

    def close(self):
        if self.proc.poll() is None:
            try:
                self.ask("quit")
            except OSError:
                pass
        try:
            self.proc.wait(timeout=15)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        self.sock.close()


@pytest.fixture
def bridge(paths):
    b = Bridge(paths, "127.0.0.1")
    yield b
    b.close()


def test_attach_steer_and_detach_ports(bridge):
    assert bridge.ask("ping") == "OK pong"
    assert bridge.ask("attach 10.77.0.5 1-2 USB\\VID_04B8&PID_0005\\5&1&0&1") == "OK"
    assert bridge.ask("attach 10.77.0.5 1-3 USB\\VID_0001&PID_0002\\7 4") == "OK"
    ports = bridge.ports()
    assert ports[("10.77.0.5", "1-2")]["state"] == "2"
    assert ports[("10.77.0.5", "1-2")]["id"] == "USB\\VID_04B8&PID_0005\\5&1&0&1"
    assert ports[("10.77.0.5", "1-3")]["state"] == "4"

    assert bridge.ask("state 10.77.0.5 1-2 1") == "OK"
    assert bridge.ask("hold 10.77.0.5 1-3 0") == "OK"
    assert bridge.ask("state 10.77.0.5 1-3 2") == "OK"
    assert bridge.ask("com 10.77.0.5 1-3 5 77") == "OK"
    assert bridge.ask("blackout 10.77.0.5 1-3 6000") == "OK"
    ports = bridge.ports()
    assert ports[("10.77.0.5", "1-2")]["state"] == "1"
    held = ports[("10.77.0.5", "1-3")]
    assert (held["state"], held["held"], held["com"], held["value"], held["blackout"]) == ("0", "1", "5", "77", "6000")
    assert bridge.ask("release 10.77.0.5 1-3") == "OK"
    assert bridge.ports()[("10.77.0.5", "1-3")]["state"] == "2"

    assert bridge.ask("lose 10.77.0.5 1-2") == "OK"
    assert bridge.ports()[("10.77.0.5", "1-2")]["lost"] == "1"
    assert bridge.ask("detach 10.77.0.5 1-2") == "OK"
    assert bridge.ask("detach 10.77.0.5 1-3") == "OK"
    assert bridge.ports() == {}


def test_faults_values_and_log_commands(bridge):
    assert bridge.ask("fail 0x80602150 2") == "OK"
    assert bridge.ask("fail read") == "OK"
    assert bridge.ask("fail read 0") == "OK"
    assert bridge.ask("idcounts 10.77.0.5 1-2 5 -") == "OK"
    assert bridge.ask("values").startswith("OK ownership=0x00000000 release=0 hid=0,0,0 hidcalls=0")
    # Private calls are not logged: only what the library sends is.
    assert bridge.ask("log") == "OK 0"
    assert bridge.ask("reset") == "OK"
    assert bridge.ports() == {}


def test_bad_commands_are_answered_with_errors(bridge):
    assert bridge.ask("attach 10.77.0.5 1234567890123456 USB\\X").startswith("ERR")
    assert bridge.ask("attach 10.77.0.300 1-2 USB\\X").startswith("ERR")
    assert bridge.ask("state 10.77.0.5 1-2 two").startswith("ERR")
    assert bridge.ask("frobnicate").startswith("ERR")
    assert bridge.ask("").startswith("ERR")
    assert bridge.ask("ping") == "OK pong"


def test_simulated_server_reaches_the_bridge_from_the_lan(paths, lan_ns):
    b = Bridge(paths, PC_ADDR)
    try:
        script = ("import socket,sys; s=socket.socket(socket.AF_INET,socket.SOCK_DGRAM); s.settimeout(10); "
                  "s.sendto(b'attach 10.77.0.7 2-1 USB\\\\VID_1111&PID_2222\\\\9', (sys.argv[1], int(sys.argv[2]))); "
                  "print(s.recvfrom(100)[0].decode())")
        done = lan_run([sys.executable, "-c", script, b.address[0], str(b.address[1])],
                       capture_output=True, timeout=30)
        assert done.stdout.decode().strip() == "OK", done.stderr.decode()
        assert b.ports()[("10.77.0.7", "2-1")]["id"] == "USB\\VID_1111&PID_2222\\9"
    finally:
        b.close()


def test_quit_ends_the_bridge(paths):
    b = Bridge(paths, "127.0.0.1")
    assert b.ask("quit") == "OK bye"
    start = time.monotonic()
    assert b.proc.wait(timeout=15) == 0
    assert time.monotonic() - start < 15
    b.sock.close()
