"""Keep-alive end to end: a server with the ZKA function bit hears every 8 s which of its ports
this PC uses; one without the bit never hears anything.

Devices are put into the servers' device lists by the harness ("adddevice"), as the device-list
code will: one whose connect is running, and one connected whose port the simulated bus driver
holds or has lost (the bridge steers a bus of this test's own).  These tests hold the
"lan_search" lock: searches are broadcasts seen by every simulator.
"""

import os
import sys
import time

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "sim"))

import keepalive  # noqa: E402
from simctl import Simulator  # noqa: E402
from test_zkuptp_bridge import Bridge  # noqa: E402

ZKA, PLAIN = "10.77.0.44", "10.77.0.45"
TICK = 8.0


def ok(result):
    assert result["ok"], result
    return result


def wait_servers(h, addresses, timeout=20):
    deadline = time.monotonic() + timeout
    while True:
        listed = {s["ip"]: s["handle"] for s in ok(h.command("servers"))["servers"]}
        if all(a in listed for a in addresses):
            return {a: listed[a] for a in addresses}
        assert time.monotonic() < deadline, "servers not listed: %r" % listed
        time.sleep(0.2)


def wait_keepalives(sim, server, count, since, timeout):
    deadline = time.monotonic() + timeout
    while True:
        found = sim.keepalives(server, since)
        if len(found) >= count:
            return found
        assert time.monotonic() < deadline, "keep-alives of %s: %r" % (server, found)
        time.sleep(0.2)


def test_the_simulator_decodes_what_it_receives():
    example = keepalive.build_keepalive(["a", "b"])
    assert example == b"\x00\x09\x4b\x41a\x00b\x00\x00"
    fields = keepalive.parse_keepalive(example)
    assert (fields["length"], fields["magic"], fields["ports"]) == (9, 0x4B41, ["a", "b"])
    assert fields["length_ok"] and fields["terminated"]
    assert keepalive.parse_keepalive(b"\x00\x09") == {"size": 2, "note": "short"}
    cut = keepalive.parse_keepalive(example[:-2])
    assert cut["ports"] == ["a", "b"] and not cut["terminated"] and not cut["length_ok"]


@pytest.fixture
def bridge(paths):
    b = Bridge(paths, "127.0.0.1")
    yield b
    b.close()


def test_keepalive_every_8_s_for_a_zka_server_and_never_without_the_bit(lan_ns, harness, bridge):
    bus = "zkuptp_%d" % (700000 + os.getpid() % 100000)
    ok(harness.command("register driver=%s" % bus))
    with Simulator([ZKA, PLAIN], netns=lan_ns, discovery=True, keepalive=True, max_seconds=200) as sim:
        # Function flags 0x80 (valid) | 0x200: the ZKA bit.
        sim.identity(ZKA, function_flags=0x280)
        for server in (ZKA, PLAIN):
            sim.set_reply(server, "GET USB_DEVICE_LIST_EX_II", bytes(8))
        # The devices below are the harness's own, not in the servers' replies: a poll of the
        # (empty) device list would report them missing, so the next poll is ten minutes away.
        ok(harness.command("start mode=1 timer=600000 broad=0"))
        handles = wait_servers(harness, [ZKA, PLAIN])
        assert ok(harness.command("session %s" % handles[ZKA]))["keepalive_timer"] is True
        assert ok(harness.command("session %s" % handles[PLAIN]))["keepalive_timer"] is False
        for server in (ZKA, PLAIN):
            ok(harness.command("adddevice %s ports=p1,p2 busy=1" % handles[server]))

        mark = sim.mark()
        sent = wait_keepalives(sim, ZKA, 3, mark, timeout=3 * TICK + 10)
        for datagram in sent:
            assert datagram["magic"] == 0x4B41
            assert datagram["length"] == datagram["size"] == 4 + len(b"p1\0p2\0\0")
            assert datagram["length_ok"] and datagram["terminated"]
            assert datagram["ports"] == ["p1", "p2"]
        times = [d["mono"] for d in sent]
        # The upper margin holds on a loaded machine.
        assert all(TICK - 0.6 < b - a < TICK + 3.0 for a, b in zip(times, times[1:])), times
        assert sim.keepalives(PLAIN) == []

        # A connected device whose port the driver holds is named too; an answer from the
        # server changes nothing.
        sim.keepalive_answer(ZKA, echo=True)
        assert bridge.ask("attach %s 1-1 USB\\VID_0001&PID_0001\\1" % ZKA) == "OK"
        held = ok(harness.command("adddevice %s ports=q locations=1-1 action=1 status=2" % handles[ZKA]))["device"]
        mark = sim.mark()
        sent = wait_keepalives(sim, ZKA, 1, mark, timeout=2 * TICK + 5)
        # A device-list poll in between would have marked the device missing (status 4).
        assert sent[0]["ports"] == ["p1", "p2", "q"], (sent, harness.command("device %s" % held))
        assert ok(harness.command("device %s" % held))["keepalive_lost"] == 0

        # The driver lost the port: the device is marked, and left out of the next datagrams.
        assert bridge.ask("detach %s 1-1" % ZKA) == "OK"
        mark = sim.mark()
        sent = wait_keepalives(sim, ZKA, 1, mark, timeout=2 * TICK + 5)
        assert sent[0]["ports"] == ["p1", "p2"], sent
        # The loss makes the library read the device list again at once; that update consumes
        # the mark (this device is not in the server's reply, so it is reported missing).
        sim.wait_log(lambda e: e["dir"] == "in" and e.get("type") == 1
                     and e.get("command") == "GET USB_DEVICE_LIST_EX_II", timeout=20, server=ZKA, since=mark)
        deadline = time.monotonic() + 20
        while ok(harness.command("device %s" % held))["keepalive_lost"] != 0:
            assert time.monotonic() < deadline
            time.sleep(0.2)
        assert sim.keepalives(PLAIN) == []
        ok(harness.command("end"))
