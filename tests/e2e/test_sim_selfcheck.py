"""The device-server simulator itself, over loopback: fragments, handshakes, faults, control."""

import os
import socket
import sys
import time

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "sim"))

import rwp  # noqa: E402
from simctl import SimError, Simulator  # noqa: E402

SERVER = "127.0.0.1"
LIST_1300 = bytes(i * 7 % 251 for i in range(1300))


@pytest.fixture
def sim():
    with Simulator([SERVER], rwp_port=0, system_port=0, max_seconds=120) as s:
        s.set_reply(SERVER, "GET USB_DEVICE_LIST", LIST_1300)
        yield s


@pytest.fixture
def client():
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.settimeout(0.3)
    yield sock
    sock.close()


def ask(sock, port, type_, command="", offset=0, max_fragment=512, size=None, params=b""):
    sock.sendto(rwp.build_request(type_, command, params, offset, max_fragment, size),
                (SERVER, port))


def replies(sock, limit=4):
    """Every datagram that arrives before a short quiet spell."""
    got = []
    while len(got) < limit:
        try:
            got.append(sock.recv(4096))
        except socket.timeout:
            break
    return got


def fetch(sock, port, command, max_fragment=512):
    """Runs a whole exchange as the client library does; returns the reply bytes."""
    ask(sock, port, rwp.TYPE_REQUEST, command, max_fragment=max_fragment)
    data = b""
    while True:
        type_, more, offset, length, chunk = rwp.parse_reply(sock.recv(4096))
        assert offset == len(data) and length == len(chunk)
        data += chunk
        if not more:
            break
        ask(sock, port, rwp.TYPE_NEXT, offset=len(data), max_fragment=max_fragment)
    ask(sock, port, rwp.TYPE_END, offset=len(data))
    assert rwp.parse_reply(sock.recv(4096))[:4] == (rwp.TYPE_END, 0, len(data), 0)
    return data


class TestExchange:
    def test_1300_bytes_come_in_three_fragments_on_both_ports(self, sim, client):
        for port in sim.ports(SERVER):
            mark = sim.mark()
            assert fetch(client, port, "GET USB_DEVICE_LIST") == LIST_1300
            assert sim.requests(SERVER, since=mark) == [(1, 0), (2, 512), (2, 1024), (3, 1300)]
            sent = [(e["type"], e["offset"], e["length"], e["more"])
                    for e in sim.log(SERVER, mark) if e["dir"] == "out"]
            assert sent == [(1, 0, 512, 1), (2, 512, 512, 1), (2, 1024, 276, 0), (3, 1300, 0, 0)]

    def test_smaller_largest_fragment_and_short_type1_request(self, sim, client):
        port = sim.ports(SERVER)[0]
        assert fetch(client, port, "GET USB_DEVICE_LIST", max_fragment=300) == LIST_1300
        ask(client, port, rwp.TYPE_REQUEST, "GET USB_DEVICE_LIST", size=88)
        assert rwp.parse_reply(client.recv(4096))[:4] == (1, 1, 0, 512)

    def test_commands_match_whole_texts_and_prefixes_with_parameters(self, sim, client):
        port = sim.ports(SERVER)[0]
        sim.set_reply(SERVER, "GET USB_DEVICE_LIST_EX", b"ex")
        sim.set_reply(SERVER, "EXEC SCANNER CONNECT:", "NG")
        sim.set_reply(SERVER, "EXEC SAFE REMOVE:", None)
        assert fetch(client, port, "GET USB_DEVICE_LIST_EX") == b"ex"
        mark = sim.mark()
        assert fetch(client, port, "EXEC SCANNER CONNECT:" + "\0" * 12 + "USB001") == b"NG"
        first = sim.log(SERVER, mark)[0]
        assert first["command"] == "EXEC SCANNER CONNECT:"
        assert first["params"].endswith(b"USB001".hex())
        for silent in ("EXEC SAFE REMOVE:", "GET STORAGE_LIST", "GET USB_DEVICE_LIS"):
            ask(client, port, rwp.TYPE_REQUEST, silent)
            assert replies(client) == []

    def test_reply_changes_while_running_and_servers_can_be_added(self, sim, client):
        port = sim.ports(SERVER)[0]
        sim.set_reply(SERVER, "GET STORAGE_LIST", b"one")
        assert fetch(client, port, "GET STORAGE_LIST") == b"one"
        sim.set_reply(SERVER, "GET STORAGE_LIST", b"two")
        assert fetch(client, port, "GET STORAGE_LIST") == b"two"
        other = sim.add_server("127.0.0.2", rwp_port=0, system_port=0)
        sim.set_reply("127.0.0.2", "GET STORAGE_LIST", b"three")
        client.sendto(rwp.build_request(1, "GET STORAGE_LIST"), ("127.0.0.2", other["rwp_port"]))
        assert rwp.parse_reply(client.recv(4096))[4] == b"three"
        with pytest.raises(SimError):
            sim.fault(SERVER, "no_such_fault")


def first_fragment(sim, client, **fault):
    """Asks for fragment 0 with one fault armed; returns (faulty replies, retry replies)."""
    port = sim.ports(SERVER)[0]
    sim.fault(SERVER, **fault)
    ask(client, port, rwp.TYPE_REQUEST, "GET USB_DEVICE_LIST")
    bad = replies(client)
    ask(client, port, rwp.TYPE_REQUEST, "GET USB_DEVICE_LIST")
    return bad, replies(client)


GOOD_FIRST = rwp.build_reply(1, 1, 0, LIST_1300[:512])


class TestFaults:
    @pytest.mark.parametrize("fault, expected", [
        ({"kind": "drop_once"}, []),
        ({"kind": "duplicate"}, [GOOD_FIRST, GOOD_FIRST]),
        ({"kind": "wrong_type"}, [rwp.build_reply(2, 1, 0, LIST_1300[:512])]),
        ({"kind": "truncated", "size": 6}, [GOOD_FIRST[:6]]),
        ({"kind": "long_length"}, [rwp.build_reply(1, 1, 0, LIST_1300[:512], 576)]),
        ({"kind": "offset_past", "gap": 100}, [rwp.build_reply(1, 1, 100, LIST_1300[:512])]),
        ({"kind": "bad_more", "value": 7}, [rwp.build_reply(1, 7, 0, LIST_1300[:512])]),
        ({"kind": "truncated", "follow": True}, [GOOD_FIRST[:5], GOOD_FIRST]),
    ])
    def test_fault_hits_once_then_the_retry_is_answered(self, sim, client, fault, expected):
        bad, retry = first_fragment(sim, client, **fault)
        assert bad == expected
        assert retry == [GOOD_FIRST]

    def test_drop_at_an_offset_spares_the_others(self, sim, client):
        port = sim.ports(SERVER)[0]
        sim.fault(SERVER, "drop", offset=512)
        ask(client, port, rwp.TYPE_REQUEST, "GET USB_DEVICE_LIST")
        assert len(replies(client)) == 1
        ask(client, port, rwp.TYPE_NEXT, offset=512)
        assert replies(client) == []
        ask(client, port, rwp.TYPE_NEXT, offset=512)
        assert rwp.parse_reply(replies(client)[0])[2] == 512
        assert [e["offset"] for e in sim.log(SERVER) if e["dir"] == "drop"] == [512]

    def test_silence_lasts_until_cleared_and_delay_holds_the_reply(self, sim, client):
        bad, retry = first_fragment(sim, client, kind="silence")
        assert bad == [] and retry == []
        sim.clear_faults()
        sim.fault(SERVER, "delay", seconds=0.5)
        start = time.monotonic()
        ask(client, sim.ports(SERVER)[0], rwp.TYPE_REQUEST, "GET USB_DEVICE_LIST")
        client.settimeout(2)
        assert client.recv(4096) == GOOD_FIRST
        assert time.monotonic() - start >= 0.45

    def test_fault_filters_by_command(self, sim, client):
        sim.set_reply(SERVER, "EXEC SCANNER CONNECT:", "OK")
        sim.fault(SERVER, "silence", command="EXEC SCANNER")
        port = sim.ports(SERVER)[0]
        ask(client, port, rwp.TYPE_REQUEST, "EXEC SCANNER CONNECT:")
        assert replies(client) == []
        assert fetch(client, port, "GET USB_DEVICE_LIST") == LIST_1300
