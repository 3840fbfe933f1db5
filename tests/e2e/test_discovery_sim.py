"""The simulator's discovery side on its own: the reply layout byte for byte, where searches
are logged and answered from, and the one-searching-simulator-per-network rule."""

import os
import socket
import struct
import sys

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "sim"))

import discovery  # noqa: E402
from simctl import SimError, Simulator  # noqa: E402

SERVER = "10.77.0.30"
OTHER = "10.77.0.31"


def test_reply_fields_sit_where_the_client_reads_them():
    identity = discovery.Identity(
        SERVER, type=2, rule=0x9506, model="M" * 20, storage=True, mac="01:02:03:04:05:06",
        flags=0x0300, ipv4="192.0.2.7", version="Ver 2.4.0", function_flags=0x1292,
        host="H" * 20, kind_zero=0, kind=1, kind_data="aabbcc", firmware="F" * 20,
        extra="ee" * 70, length=300, patch=[[4, "7f"]])
    reply = identity.reply(SERVER)
    assert len(reply) == 300
    assert struct.unpack_from(">HH", reply, 0) == (2, 0x9506)
    assert reply[4] == 0x7F and reply[5:36] == bytes(31)
    assert reply[36:51] == b"M" * 15 and reply[51] == ord("M") | 1
    assert reply[56:62] == bytes([1, 2, 3, 4, 5, 6])
    assert struct.unpack_from(">H", reply, 64)[0] == 0x0300
    assert reply[66:70] == socket.inet_aton("192.0.2.7")
    assert reply[72:81] == b"Ver 2.4.0" and reply[81] == 0
    assert struct.unpack_from("<H", reply, 82)[0] == 0x1292
    assert reply[116:132] == b"H" * 16
    assert reply[132:137] == b"\x00\x01\xaa\xbb\xcc"
    assert reply[164:180] == b"F" * 16
    assert reply[180:244] == b"\xee" * 64 and reply[244:] == bytes(56)

    # Without an IPv4 field of its own a server reports the address it has.
    assert discovery.Identity(OTHER).reply(OTHER)[66:70] == socket.inet_aton(OTHER)


@pytest.fixture
def sim(lan_ns):
    with Simulator([SERVER], netns=lan_ns, discovery=True, max_seconds=60) as s:
        yield s


def test_searches_are_logged_with_their_destination_and_answered_from_the_server(sim):
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sock:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
        sock.settimeout(2)
        mark = sim.mark()
        for dst in ("255.255.255.255", "10.77.0.255", SERVER):
            sock.sendto(discovery.build_search(), (dst, discovery.SEARCH_PORT))
            reply, peer = sock.recvfrom(1024)
            assert peer == (SERVER, 19540) and len(reply) == discovery.REPLY_SIZE
        seen = [(e["dst"], e["rule"]) for e in sim.searches(mark)]
        assert seen == [("255.255.255.255", 0x9506), ("10.77.0.255", 0x9506), (SERVER, 0x9506)]

        sim.silent(SERVER)
        sock.sendto(discovery.build_search(), ("255.255.255.255", discovery.SEARCH_PORT))
        with pytest.raises(socket.timeout):
            sock.recvfrom(1024)

        sim.silent(SERVER, on=False)
        sim.move_server(SERVER, OTHER)
        sock.sendto(discovery.build_search(), ("10.77.0.255", discovery.SEARCH_PORT))
        reply, peer = sock.recvfrom(1024)
        assert peer == (OTHER, 19540) and reply[66:70] == socket.inet_aton(OTHER)


def test_a_second_searching_simulator_in_the_namespace_is_refused(sim, lan_ns):
    with pytest.raises(SimError, match="another simulator"):
        Simulator(["10.77.0.32"], netns=lan_ns, discovery=True).start()
    # One that does not search may still play other addresses, but not a taken one.
    with Simulator(["10.77.0.33"], netns=lan_ns):
        pass
    with pytest.raises(SimError, match="another simulator"):
        Simulator([SERVER], netns=lan_ns).start()
