"""The bus-driver exports end to end: harness.exe calls them by ordinal, the library reaches the
simulated bus driver through CreateFile and DeviceIoControl, and the bridge shows what the driver
received (its values and the exact input bytes of every control call)."""

import os

import pytest

from test_zkuptp_bridge import Bridge

IOCTL_SET_OWNERSHIP_INTERFACE = 0x816020C4
IOCTL_SET_OWNERSHIP_RELEASE_TIME = 0x816020CC
IOCTL_SET_HID_FILTER = 0x81602104


def ok(result):
    assert result["ok"], result
    return result


def logged_calls(bridge):
    lines = bridge.ask("log").split("\n")
    assert lines[0].startswith("OK")
    calls = []
    for line in lines[1:]:
        _, code, in_len, _, *data = line.split(" ")
        calls.append((int(code, 16), int(in_len), data[0] if data else ""))
    return calls


@pytest.fixture
def bridge(paths):
    b = Bridge(paths, "127.0.0.1")
    yield b
    b.close()


@pytest.fixture
def registered(harness, bridge):
    # The Bridge fixture opened a bus of this test's own: the library is registered on it.
    ok(harness.command("register driver=zkuptp_%d" % (700000 + os.getpid() % 100000)))
    return harness


def test_connection_follows_the_ports_the_driver_holds(registered, bridge):
    assert ok(registered.command("zkuptpconnection"))["connected"] == 0
    assert bridge.ask("attach 10.77.0.9 1-1 USB\\VID_0001&PID_0002\\3") == "OK"
    assert ok(registered.command("zkuptpconnection"))["connected"] == 1
    assert bridge.ask("detach 10.77.0.9 1-1") == "OK"
    assert ok(registered.command("zkuptpconnection"))["connected"] == 0


def test_ownership_and_hid_filter_values_reach_the_driver_with_their_exact_bytes(registered, bridge):
    result = ok(registered.command("ownership interface=0x12345678 release=30"))
    assert (result["set_interface"], result["set_release"]) == (1, 1)
    assert (result["interface"], result["release"]) == (0x12345678, 30)
    assert (result["get_interface_ok"], result["get_release_ok"]) == (1, 1)

    assert ok(registered.command("hidfilter mode=1 v0=0x10 v1=0x20"))["result"] == 1
    # Mode 0 asks nothing of the driver.
    assert ok(registered.command("hidfilter mode=0 v0=0x10 v1=0x20"))["result"] == 0
    values = bridge.ask("values")
    assert "ownership=0x12345678 release=30 hid=1,16,32 hidcalls=1" in values

    calls = {code: (length, data) for code, length, data in logged_calls(bridge)}
    assert calls[IOCTL_SET_OWNERSHIP_INTERFACE] == (4, "78563412")
    assert calls[IOCTL_SET_OWNERSHIP_RELEASE_TIME] == (4, "1e000000")
    assert calls[IOCTL_SET_HID_FILTER] == (8, "0800010010002000")
