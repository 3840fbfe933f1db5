"""The simulator's connect and disconnect commands, over loopback: the data checks, the
scripted answers, the device state and what is sent to the bus driver's bridge."""

import os
import socket
import struct
import sys
import time

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "sim"))

import connect  # noqa: E402
import discovery  # noqa: E402
import rwp  # noqa: E402
import simctl  # noqa: E402
from simctl import Simulator  # noqa: E402

SERVER = "127.0.0.1"
MAC = bytes.fromhex(discovery.default_mac(SERVER).replace(":", ""))
PC = socket.inet_aton("127.0.0.1")


def data(first=b"\x01\x06", mac=MAC, address=PC, port=b"1", rest=b"\0"):
    return first + mac + address + port + rest


KA = struct.pack(">HBH", 5000, 0x3, 49235)

# (name, kind, level, data, errors expected (substrings), params expected)
CASES = [
    ("connect level 4, keep-alive", "connect", 4, data(rest=b"\0" + KA),
     [], {"protocol_port": 5000, "flags": 3, "keepalive_port": 49235}),
    ("connect level 4, extension", "connect", 4,
     data(rest=b"\0" + struct.pack(">HBHI", 5000, 0, 1, 0x01020304)),
     [], {"protocol_port": 5000, "flags": 0, "extension": [1, 0x01020304]}),
    ("connect level 1, port only", "connect", 1, data(), [], {}),
    ("disconnect, name to the end", "disconnect", 4, data(port=b"1.2", rest=b""), [], {}),
    ("short fixed part", "connect", 4, data()[:11], ["fixed part is 11"], {}),
    ("wrong leading bytes", "connect", 1, data(first=b"\x02\x06"), ["begins 02 06"], {}),
    ("another hardware address", "disconnect", 1, data(mac=bytes(6)), ["hardware address"], {}),
    ("address 0", "disconnect", 1, data(address=bytes(4)), ["address is 0"], {}),
    ("no port name", "disconnect", 1, data(port=b""), ["no port name"], {}),
    ("level 2 without parameters", "connect", 2, data(rest=bytes(40)), ["protocol port is 0"], {}),
    ("keep-alive port wrong", "connect", 3,
     data(rest=b"\0" + struct.pack(">HBH", 5000, 2, 1234)), ["keep-alive port 1234"], {}),
    ("unknown flag", "connect", 3, data(rest=b"\0" + struct.pack(">HB", 5000, 0x8)),
     ["unknown flag bits"], {}),
    ("parameters at level 1", "connect", 1, data(rest=b"\0" + KA), ["unexpected bytes"], {}),
    ("parameters on a disconnect", "disconnect", 4, data(rest=b"\0" + KA), ["unexpected bytes"], {}),
]


@pytest.mark.parametrize("name,kind,level,raw,errors,params", CASES, ids=[c[0] for c in CASES])
def test_command_data_checks(name, kind, level, raw, errors, params):
    checked = connect.parse_command(kind, raw, level, MAC)
    assert len(checked["errors"]) == len(errors), checked["errors"]
    for want, got in zip(errors, checked["errors"]):
        assert want in got
    if not errors:
        assert checked["params"] == params
        assert checked["fixed_ok"] and checked["address"] == "127.0.0.1"


def test_profiles_of_device_classes():
    def words(**fields):
        device = {"name": "QZ Laser 10", "dot4": False, "interfaces": [[7, 1]]}
        device.update(fields)
        return connect.pnp_profile(device)
    assert words() == ["pnp=printer", "desc=QZ%20Laser%2010"]
    assert words(dot4=True)[0] == "pnp=dot4"
    assert words(interfaces=[[8, 6]])[0] == "pnp=storage"
    assert words(interfaces=[[3, 0]])[0] == "pnp=hid"
    assert words(interfaces=[[255, 0]])[0] == "pnp=scan"
    assert words(interfaces=[[7, 1], [8, 6], [3, 0]])[:2] == ["pnp=composite", "classes=7,8,3"]


@pytest.fixture
def sim():
    with Simulator([SERVER], rwp_port=0, system_port=0, max_seconds=120) as s:
        yield s


@pytest.fixture
def bridge():
    """A stand-in for the bridge: a socket that answers every command "OK"."""
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind(("127.0.0.1", 0))
    sock.settimeout(0.1)
    yield sock
    sock.close()


def exchange(sim, command, raw):
    """One whole request/response exchange as the library runs it: the answer text or None."""
    reply = simctl.exchange(SERVER, sim.ports(SERVER)[0], command, raw)
    return None if reply is None else reply.decode()


def heard(bridge, seconds):
    """The commands the bridge stand-in receives within `seconds` (answering each)."""
    got, end = [], time.monotonic() + seconds
    while time.monotonic() < end:
        try:
            text, peer = bridge.recvfrom(4096)
        except socket.timeout:
            continue
        got.append(text.decode())
        bridge.sendto(b"OK", peer)
    return got


def test_connect_and_disconnect_change_the_device_and_steer_the_bridge(sim, bridge):
    sim.set_bridge(*bridge.getsockname())
    sim.plug(SERVER, name="QZ Combo", port="7", location="2-1", interfaces=[[7, 1], [8, 6]])
    params = b"\0" + struct.pack(">HB", 5000, 0)

    assert exchange(sim, connect.CONNECT, data(port=b"7", rest=params)) == "OK"
    assert exchange(sim, connect.CONNECT, data(port=b"7.2", rest=params)) == "OK"
    assert sorted(heard(bridge, 1.0)) == [
        "attach 127.0.0.1 2-1M1 USB\\VID_0A5C&PID_0001\\QZ7F000001_2-1M1 pnp=composite "
        "classes=7,8 desc=QZ%20Combo",
        "attach 127.0.0.1 2-1M2 USB\\VID_0A5C&PID_0001\\QZ7F000001_2-1M2"]
    assert sim.usb_devices(SERVER)[0]["user"] == "127.0.0.1"
    assert sim.usb_reply(SERVER, "GET USB_DEVICE_LIST")[1 + 2 + 9:][:4] == PC
    assert sim.wait_bridge("attach 127.0.0.1 2-1M2")["answer"] == "OK"

    # Another PC cannot take it; a disconnect by the wrong address is refused.
    assert exchange(sim, connect.DISCONNECT, data(port=b"7", address=bytes([10, 0, 0, 9]))) == "NG"
    assert exchange(sim, connect.DISCONNECT, data(port=b"7")) == "OK"
    assert sim.usb_devices(SERVER)[0]["user"] == "127.0.0.1"  # 7.2 is still held
    assert exchange(sim, connect.DISCONNECT, data(port=b"7.2")) == "OK"
    assert sim.usb_devices(SERVER)[0]["user"] is None
    assert heard(bridge, 0.6) == ["detach 127.0.0.1 2-1M1", "detach 127.0.0.1 2-1M2"]
    assert exchange(sim, connect.CONNECT, data(port=b"9", rest=params)) == "NG"

    log = sim.commands(SERVER)
    assert [(e["command"], e["port_name"], e["answer"], e["ok"]) for e in log] == [
        ("connect", "7", "OK", True), ("connect", "7.2", "OK", True),
        ("disconnect", "7", "NG", False), ("disconnect", "7", "OK", True),
        ("disconnect", "7.2", "OK", True), ("connect", "9", "NG", False)]
    assert log[0]["params"] == {"protocol_port": 5000, "flags": 0} and log[0]["fixed_ok"]
    assert "unknown port" in log[-1]["errors"][0]


def test_scripted_answers_and_attach_modes(sim, bridge):
    sim.set_bridge(*bridge.getsockname())
    sim.plug(SERVER, name="QZ Scan", port="1", location="1-1", interfaces=[[255, 0]])
    raw = data(rest=b"\0" + struct.pack(">HB", 5000, 0))
    for answer, text in (("ng", "NG"), ("deny", "DENY"), ("silence", None)):
        sim.command_answer(SERVER, connect=answer)
        assert exchange(sim, connect.CONNECT, raw) == text
    assert sim.usb_devices(SERVER)[0]["user"] is None
    sim.command_answer(SERVER, connect="ok")
    sim.update_device(SERVER, "1-1", connect_answer="deny")
    assert exchange(sim, connect.CONNECT, raw) == "DENY"

    sim.update_device(SERVER, "1-1", connect_answer=None, attach="never")
    assert exchange(sim, connect.CONNECT, raw) == "OK"
    assert heard(bridge, 0.8) == []
    # A request repeated on its socket (its answer was lost) is answered alike, applied once.
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sock:
        sock.settimeout(1.0)
        for _ in range(2):
            sock.sendto(rwp.build_request(rwp.TYPE_REQUEST, connect.DISCONNECT, data()),
                        (SERVER, sim.ports(SERVER)[0]))
        assert [rwp.parse_reply(sock.recv(4096))[4] for _ in range(2)] == [b"OK", b"OK"]
    assert [e.get("repeat", False) for e in sim.commands(SERVER, repeats=True)][-2:] == [False, True]
    assert heard(bridge, 0.6) == ["detach 127.0.0.1 1-1"]

    sim.update_device(SERVER, "1-1", attach="slow", attach_delay=1.5)
    start = time.monotonic()
    assert exchange(sim, connect.CONNECT, raw) == "OK"
    assert heard(bridge, 1.0) == []
    assert heard(bridge, 1.5)[0].startswith("attach 127.0.0.1 1-1 ")
    assert time.monotonic() - start >= 1.5
