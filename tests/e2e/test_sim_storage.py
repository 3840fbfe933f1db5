"""The simulator's network storage, over loopback: the storage-list reply byte for byte (whole
and bent by faults, fragmented on the system port) and the checked safe removal with its
scripted answers and unmounting."""

import os
import sys

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "sim"))

import simctl  # noqa: E402
import storage  # noqa: E402
from simctl import SimError, Simulator  # noqa: E402

SERVER = "127.0.0.1"


@pytest.fixture
def sim():
    with Simulator([SERVER], rwp_port=0, system_port=0, search_port=0, max_seconds=120) as s:
        yield s


def share(label, name, v1, v2, flags):
    return (label.encode() + b"\0" + name.encode() + b"\0" + v1.to_bytes(4, "big")
            + v2.to_bytes(4, "big") + bytes([flags]))


DISK = dict(name="DISK1", text="QZ Flash 64", vid=0x0781, pid=0x5583, shares=[
    dict(label="Fotos \u00e9t\u00e9 \u2603", name="usb1_1", value1=0x01020304, value2=7,
         shared=True),
    dict(label="", name="usb1_2", value1=1, value2=2, mounted=False)])
DISK_BYTES = (b"DISK1\0QZ Flash 64\0\x07\x81\x55\x83\x02"
              + share("Fotos \u00e9t\u00e9 \u2603", "usb1_1", 0x01020304, 7, 0x3)
              + share("", "usb1_2", 1, 2, 0x0))
EMPTY = dict(name="CARD", shares=[])
EMPTY_BYTES = b"CARD\0\0\x0a\x5c\x00\x01\x00"
LONG = [dict(name="D%d" % i, text="T" * 260, shares=[dict(name="s")]) for i in range(3)]
LONG_BYTES = b"\x03" + b"".join(
    b"D%d\0" % i + b"T" * 260 + b"\0\x0a\x5c\x00\x01\x01" + share("", "s", 0, 0, 1)
    for i in range(3))

# (name, storages, fault, reply expected)
CASES = [
    ("no storage", [], {}, b"\x00"),
    ("UTF-8 and empty labels, mounted and not", [DISK], {}, b"\x01" + DISK_BYTES),
    ("a storage without shares", [DISK, EMPTY], {}, b"\x02" + DISK_BYTES + EMPTY_BYTES),
    ("three fragments", LONG, {}, LONG_BYTES),
    ("cut in a share", [DISK], {"cut": 30}, (b"\x01" + DISK_BYTES)[:30]),
    ("count beyond the storages", [EMPTY], {"count": 4}, b"\x04" + EMPTY_BYTES),
    ("bytes after the end", [EMPTY], {"append": b"\xff\xff"}, b"\x01" + EMPTY_BYTES + b"\xff\xff"),
    ("raw", [DISK], {"raw": b"\x01DISK"}, b"\x01DISK"),
]


@pytest.mark.parametrize("name,storages,fault,expected", CASES, ids=[c[0] for c in CASES])
def test_storage_list_reply_bytes(sim, name, storages, fault, expected):
    sim.identity(SERVER, storage=True)  # answers a count of 0 before any storage is scripted
    for fields in storages:
        fields = dict(fields)
        sim.add_storage(SERVER, fields.pop("name"), **fields)
    sim.storage_fault(SERVER, **fault)
    rwp_port, system_port = sim.ports(SERVER)
    mark = sim.mark()
    assert simctl.exchange(SERVER, system_port, storage.LIST) == expected
    assert len(sim.requests(SERVER, since=mark)) == 2 + (len(expected) - 1) // 512
    assert simctl.exchange(SERVER, rwp_port, storage.LIST) == expected


def remove(sim, data):
    reply = simctl.exchange(SERVER, sim.ports(SERVER)[0], storage.SAFE_REMOVE, data)
    return None if reply is None else reply.decode()


def test_safe_remove_checks_its_data_and_unmounts_after_the_delay(sim):
    sim.add_storage(SERVER, "DISK1", shares=[dict(name="a"), dict(name="b", shared=True)])
    good = simctl.safe_remove_data(SERVER, "DISK1")
    bad = [(b"\x01\x05" + good[2:], "begins 01 05"),
           (simctl.safe_remove_data(SERVER, "DISK1", mac="00:11:22:33:44:55"), "hardware address"),
           (simctl.safe_remove_data(SERVER, "DISK1", address=b"\x0a\0\0\x01"), "is not 0"),
           (simctl.safe_remove_data(SERVER, ""), "no storage name"),
           (simctl.safe_remove_data(SERVER, "DISK2"), "unknown storage 'DISK2'"),
           (good + b"\x05", "unexpected bytes 05")]
    for data, error in bad:
        assert remove(sim, data) == "NG", error
    mark = sim.mark()
    assert remove(sim, good) == "OK"
    log = sim.safe_removes(SERVER)
    assert [(e["ok"], e["answer"]) for e in log] == [(False, "NG")] * len(bad) + [(True, "OK")]
    for entry, (_, error) in zip(log, bad):
        assert len(entry["errors"]) == 1 and error in entry["errors"][0], entry
    assert log[-1]["data"] == "010602515a000001000000004449534b3100"
    assert (log[-1]["storage"], log[-1]["fixed_ok"]) == ("DISK1", True)

    assert [s["mounted"] for s in sim.storages(SERVER)[0]["shares"]] == [True, True]
    unmounted = sim.wait_unmounted(SERVER, "DISK1", since=mark)
    assert unmounted["mono"] - log[-1]["mono"] >= storage.DEFAULT_UNMOUNT_DELAY
    assert sim.storage_reply(SERVER)[-1] == 0x2  # shared, no longer mounted
    assert [s["mounted"] for s in sim.storages(SERVER)[0]["shares"]] == [False, False]


def test_scripted_answers_and_the_never_mode(sim):
    sim.add_storage(SERVER, "A", shares=[dict(name="a")], answer="ng")
    sim.add_storage(SERVER, "B", shares=[dict(name="b")], unmount="never")
    sim.add_storage(SERVER, "C", shares=[dict(name="c")], unmount_delay=0.4)
    sim.storage_answer(SERVER, answer="silence")
    assert remove(sim, simctl.safe_remove_data(SERVER, "A")) == "NG"
    assert remove(sim, simctl.safe_remove_data(SERVER, "B")) is None
    sim.storage_answer(SERVER, answer="ok", unmount_delay=0.2)
    mark = sim.mark()
    for name in ("B", "C"):
        assert remove(sim, simctl.safe_remove_data(SERVER, name)) == "OK"
    sent = sim.safe_removes(SERVER, since=mark)[-1]["mono"]
    assert sim.wait_unmounted(SERVER, "C", since=mark)["mono"] - sent >= 0.4
    # B, asked first with the server's 0.2 s, stays mounted.
    assert [[sh["mounted"] for sh in s["shares"]] for s in sim.storages(SERVER)] == [
        [True], [True], [False]]
    assert [e["answer"] for e in sim.safe_removes(SERVER)] == ["NG", None, "OK", "OK"]
    with pytest.raises(SimError):
        sim.add_storage(SERVER, "N" * 32)
    with pytest.raises(SimError):
        sim.update_share(SERVER, "C", 1, mounted=True)
