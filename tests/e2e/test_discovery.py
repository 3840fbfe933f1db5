"""Discovery end to end: the library searches the test LAN and the simulator plays the servers.

Four servers answer every search: A (2.4.0), B (2.1.0, too old), C (another rule number) and
D (3.2.0 with storage); only A and D may be listed.  The simulator logs every search with the
address it was sent to, so the destinations of each UseBroadAddress value are checked exactly.
These tests hold the "lan_search" lock: searches are broadcasts seen by every simulator.
"""

import collections
import os
import sys
import time

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "sim"))

from conftest import run_wine, unique_name, wine_path  # noqa: E402
from simctl import Simulator  # noqa: E402

LIMITED = "255.255.255.255"
DIRECTED = "10.77.0.255"          # the PC adapter's directed broadcast (10.77.0.1/24)
A, B, C, D = "10.77.0.10", "10.77.0.11", "10.77.0.12", "10.77.0.13"
MOVED = "10.77.0.20"
LISTED, MEMORY = "10.77.0.40", "10.77.0.41"   # LAN addresses without a server
EXTRA_A = bytes(range(0x40, 0x80))

IDENTITIES = {
    # Function flags 0x80 (valid) | 0x10 encryption | 0x200 keep-alive | 0x2 over current;
    # reply flags 0x200 (function 0x10) | 0x100 (option bit 0).
    A: dict(version="Ver 2.4.0", model="QZ-5400", host="LAB-A", mac="02:51:5a:00:00:0a",
            function_flags=0x292, flags=0x300, firmware="2.4.0-77", extra=EXTRA_A.hex()),
    B: dict(version="Ver 2.1.0", model="QZ-OLD", host="LAB-B", mac="02:51:5a:00:00:0b"),
    C: dict(version="Ver 2.4.0", rule=0x9507, model="QZ-OTHER", host="LAB-C",
            mac="02:51:5a:00:00:0c"),
    # Full-width texts: the model's 16th byte carries the storage bit, the host name and the
    # firmware text have no zero byte of their own.
    D: dict(version="Ver 3.2.0", model="QZ-STORAGE-9000", storage=True,
            host="ABCDEFGHIJKLMNOP", mac="02:51:5a:00:00:0d", firmware="FW-3.2.0-1234567X"),
}

EXPECTED_INFO = {
    A: dict(ip=A, mac="02:51:5A:00:00:0A", host="LAB-A", model="QZ-5400", level=4,
            firmware="2.4.0-77", extra_kind=2, extra_length=64, extra=EXTRA_A.hex(),
            function=0x1 | 0x4 | 0x10, status=0x1 | 0x2, option=1, terminated=True),
    D: dict(ip=D, mac="02:51:5A:00:00:0D", host="ABCDEFGHIJKLMNO", model="QZ-STORAGE-9000",
            level=4, firmware="FW-3.2.0-123456", extra_kind=2, extra_length=64,
            extra="00" * 64, function=0, status=0x2, option=0, terminated=True),
}


@pytest.fixture
def sim(lan_ns, tmp_path):
    with Simulator([A, B, C, D], netns=lan_ns, discovery=True, max_seconds=280,
                   log_path=str(tmp_path / "devserver.jsonl")) as s:
        for address, fields in IDENTITIES.items():
            s.identity(address, **fields)
        # Listed servers are then asked for their devices: an empty list keeps their sessions
        # quiet (no time-outs, no network-error status changes).
        for command in ("GET USB_DEVICE_LIST", "GET USB_DEVICE_LIST_EX",
                        "GET USB_DEVICE_LIST_EX_II"):
            s.set_reply("*", command, b"\0")
        yield s


@pytest.fixture
def settings_key(paths):
    key = "Software\\QzTest\\" + unique_name("discovery")
    yield key
    run_wine(paths, "reg", "delete", "HKCU\\" + key, "/f")


@pytest.fixture
def client(harness, settings_key):
    result = harness.command('register location="HCU\\%s"' % settings_key)
    assert result["ok"], result
    return harness


def ok(result):
    assert result["ok"], result
    return result


def sync(h):
    """Every line the harness wrote before now is in h.lines afterwards."""
    ok(h.command("props"))


ANALYSIS_DONE = 8  # change flags sent after every device-list poll of a server


def server_notes(h, kind=None, since=0):
    """PNXN_SERVER notifications from index `since` on, without the device-list poll notices."""
    return [n for n in h.notifications()[since:]
            if n["msg"] == "PNXN_SERVER" and n["flags"] != ANALYSIS_DONE
            and (kind is None or n["kind"] == kind)]


def wait_notes(h, predicate, count=1, timeout=20, since=0):
    """Waits until `count` notifications from index `since` on satisfy `predicate`."""
    deadline = time.monotonic() + timeout
    while True:
        found = [n for n in h.notifications()[since:] if predicate(n)]
        if len(found) >= count:
            return found
        h.expect(lambda line: line.get("type") == "notify",
                 timeout=max(0.1, deadline - time.monotonic()))


def is_server(kind, handle=None, flags=None):
    return lambda n: (n["msg"] == "PNXN_SERVER" and n["kind"] == kind
                      and (handle is None or n["lparam"] == handle)
                      and (n["flags"] == flags if flags is not None
                           else n["flags"] != ANALYSIS_DONE or kind != 3))


def servers_by_ip(h):
    return {s["ip"]: s for s in ok(h.command("servers"))["servers"]}


def search_dsts(sim, since):
    # A known server's analysis starts over with a probe, one search sent to the server's own
    # address: that is no destination of the search itself.
    return [e["dst"] for e in sim.searches(since) if "rule" in e and e["dst"] not in IDENTITIES]


def searched(sim, since, count, timeout=20):
    """The limited-broadcast search times since `since` once there are `count` of them (or all
    seen when `timeout` s have gone by): a loaded machine may run the timer late."""
    deadline = time.monotonic() + timeout
    times = limited_times(sim, since)
    while len(times) < count and time.monotonic() < deadline:
        time.sleep(0.1)
        times = limited_times(sim, since)
    return times


def limited_times(sim, since):
    return [e["mono"] for e in sim.searches(since) if e["dst"] == LIMITED]


def test_two_of_four_servers_are_listed_with_what_they_sent(sim, client):
    ok(client.command("start mode=1 timer=1000 broad=0"))
    wait_notes(client, is_server(1), count=2)
    time.sleep(2.5)  # two more searches: known servers are not new again
    sync(client)
    assert len(server_notes(client, kind=1)) == 2
    assert server_notes(client, kind=2) == []

    listed = ok(client.command("servers"))["servers"]
    assert [s["ip"] for s in listed] == [A, D]  # rows sorted by address text
    for server in listed:
        expected = EXPECTED_INFO[server["ip"]]
        assert {k: server[k] for k in expected} == expected, server
    new_handles = {n["lparam"] for n in server_notes(client, kind=1)}
    assert new_handles == {s["handle"] for s in listed}

    detected = ok(client.command("detected"))
    assert sorted(s["ip"] for s in detected["servers"]) == [A, D]
    assert client.command("detected count=%d" % (detected["count"] + 1))["result"] == 0


def test_changes_are_reported_with_their_flags(sim, client):
    ok(client.command("start mode=1 timer=700 broad=0"))
    wait_notes(client, is_server(1), count=2)
    handles = {ip: s["handle"] for ip, s in servers_by_ip(client).items()}

    steps = [
        (A, dict(host="LAB-A2"), 1, "host", "LAB-A2"),
        (D, dict(model="QZ-9100"), 1, "model", "QZ-9100"),
        (A, dict(function_flags=0x282), 2, "function", 0x4 | 0x10),   # encryption off
        (A, dict(flags=0x200), 4, "option", 0),                       # option bit off
    ]
    for address, fields, flags, key, value in steps:
        seen = len(client.notifications())
        sim.identity(address, **fields)
        wait_notes(client, is_server(3, handles[address]), since=seen)
        sync(client)
        changes = server_notes(client, kind=3, since=seen)
        assert [(c["lparam"], c["flags"]) for c in changes] == [(handles[address], flags)], fields
        assert servers_by_ip(client)[address][key] == value

    seen = len(client.notifications())
    sim.move_server(A, MOVED)
    wait_notes(client, is_server(3, handles[A], flags=1), since=seen)
    listed = servers_by_ip(client)
    assert sorted(listed) == [D, MOVED]
    assert listed[MOVED]["handle"] == handles[A] and listed[MOVED]["host"] == "LAB-A2"

    # Nothing differs any more: further replies are not reported.
    seen = len(client.notifications())
    time.sleep(2.2)
    sync(client)
    assert server_notes(client, since=seen) == []


def test_a_silent_server_is_swept_as_lost_and_found_again(sim, client):
    ok(client.command("start mode=1 timer=1000 broad=0"))
    wait_notes(client, is_server(1), count=2)
    handles = {ip: s["handle"] for ip, s in servers_by_ip(client).items()}
    ok(client.command("suspend"))
    sim.silent(D)
    seen = len(client.notifications())
    ok(client.command("resume broad=4"))  # bit 2: renew all, then sweep who did not answer
    wait_notes(client, lambda n: n["msg"] == "PNXN_NETWORK" and n["flags"] == 2, since=seen,
               timeout=25)
    time.sleep(1.5)
    sync(client)
    frame = [(n["msg"], n["kind"], n["flags"], n["lparam"]) for n in client.notifications()[seen:]
             if n["msg"] == "PNXN_NETWORK" or n["kind"] == 2]
    assert frame == [("PNXN_NETWORK", 1, 1, "0x0"), ("PNXN_SERVER", 2, 0, handles[D]),
                     ("PNXN_NETWORK", 1, 2, "0x0")]
    assert list(servers_by_ip(client)) == [A]

    seen = len(client.notifications())
    sim.silent(D, on=False)
    wait_notes(client, is_server(1), since=seen, timeout=10)
    assert list(servers_by_ip(client)) == [A, D]


def expected_destinations(broad, store, memory):
    """What one search reaches with a registry store holding `store` and the memory list."""
    dsts = []
    use_list = broad & 1
    if not (use_list and broad & 2):
        dsts.append(LIMITED)
    if use_list:
        dsts += store
    dsts += memory
    if use_list and broad & 8 and DIRECTED not in dsts:
        dsts.append(DIRECTED)
    return collections.Counter(dsts)


def one_search(sim, h, broad, expected):
    """Runs the service with Timer 0 (one search, no timer); the destinations it reached, read
    once the expected number arrived and a little later (so extra ones show too)."""
    ok(h.command("end"))
    time.sleep(0.3)
    mark = sim.mark()
    ok(h.command("start mode=1 timer=0 broad=%d" % broad))
    deadline = time.monotonic() + 5
    while len(search_dsts(sim, mark)) < sum(expected.values()) and time.monotonic() < deadline:
        time.sleep(0.05)
    time.sleep(0.4)
    return collections.Counter(search_dsts(sim, mark))


def test_each_use_broad_address_value_reaches_exactly_its_destinations(sim, client, settings_key):
    ok(client.command('initbroadcast "HCU\\%s\\Broadcast"' % settings_key))
    ok(client.command("setbroadcast %s" % LISTED))
    ok(client.command("setbroadcastmemory %s" % MEMORY))
    for broad in range(16):
        expected = expected_destinations(broad, [LISTED], [MEMORY])
        got = one_search(sim, client, broad, expected)
        assert got == expected, "UseBroadAddress %d" % broad
        if broad & 3 == 3:
            assert LIMITED not in got

    # A directed broadcast already in the list is not sent twice.
    ok(client.command("setbroadcast %s %s" % (LISTED, DIRECTED)))
    expected = collections.Counter([LIMITED, LISTED, DIRECTED, MEMORY])
    assert one_search(sim, client, 9, expected) == expected


def test_an_ini_list_is_read_at_each_search(sim, client, tmp_path):
    ini = tmp_path / "broadcast.ini"
    ok(client.command('initbroadcast "%s"' % wine_path(str(ini))))
    ok(client.command("setbroadcast %s" % LISTED))
    ok(client.command("setbroadcastmemory %s" % MEMORY))
    for broad, expected in ((1, [LIMITED, LISTED, MEMORY]), (0, [LIMITED, MEMORY])):
        expected = collections.Counter(expected)
        assert one_search(sim, client, broad, expected) == expected, broad


@pytest.mark.parametrize("timer_ms,searches", [(500, 8), (1500, 4)])
def test_searches_follow_the_timer_interval(sim, client, timer_ms, searches):
    mark = sim.mark()
    ok(client.command("start mode=1 timer=%d broad=0" % timer_ms))
    times = searched(sim, mark, searches)
    assert len(times) >= searches, times
    gaps = sorted(b - a for a, b in zip(times, times[1:]))
    median = gaps[len(gaps) // 2]
    assert abs(median - timer_ms / 1000) < 0.15 * timer_ms / 1000 + 0.05, gaps


def test_timer_zero_searches_once(sim, client):
    mark = sim.mark()
    ok(client.command("start mode=1 timer=0 broad=0"))
    time.sleep(2.5)
    assert len(limited_times(sim, mark)) == 1


def test_end_and_suspend_stop_searching_and_resume_restarts(sim, client):
    ok(client.command("start mode=1 timer=400 broad=0"))
    for stop in ("end", "suspend keep=1"):
        time.sleep(1.0)
        ok(client.command(stop))
        time.sleep(1.0)  # a search already on its way (a loaded machine delivers it late)
        mark = sim.mark()
        time.sleep(1.6)
        assert limited_times(sim, mark) == [], stop
        ok(client.command("resume"))
        assert len(searched(sim, mark, 3)) >= 3, stop


def test_rule_number_selects_the_servers_and_the_defaults_come_back(sim, client):
    ok(client.command("portrule 19540 0x9507"))
    mark = sim.mark()
    ok(client.command("start mode=1 timer=0 broad=0"))
    wait_notes(client, is_server(1))
    time.sleep(0.5)
    sync(client)
    assert {e["rule"] for e in sim.searches(mark) if "rule" in e} == {0x9507}
    assert list(servers_by_ip(client)) == [C]

    ok(client.command("end"))
    ok(client.command("portrule 19540 0x9506"))
    mark = sim.mark()
    ok(client.command("start mode=1 timer=0 broad=0"))
    wait_notes(client, is_server(1), count=3)
    assert {e["rule"] for e in sim.searches(mark) if "rule" in e} == {0x9506}
    assert list(servers_by_ip(client)) == [A, C, D]


def test_renew_reports_a_server_without_address_deleted_once(sim, client):
    sim.identity(A, ipv4="0.0.0.0")
    ok(client.command("start mode=5 timer=0 broad=0"))  # bit 2: replies without IPv4 count
    wait_notes(client, is_server(1), count=2)
    handles = {ip: s["handle"] for ip, s in servers_by_ip(client).items()}
    assert sorted(handles) == ["0.0.0.0", D]
    seen = len(client.notifications())
    ok(client.command("renew mode=0"))
    time.sleep(1.5)
    sync(client)
    deletes = [n["lparam"] for n in server_notes(client, kind=2, since=seen)]
    assert deletes == [handles["0.0.0.0"]]


def test_a_model_filter_keeps_other_servers_out_of_list_and_detection(sim, client):
    ok(client.command("setfilter 8 qz-stor"))  # case-insensitive prefix of D's model
    ok(client.command("start mode=1 timer=0 broad=0"))
    wait_notes(client, is_server(1))
    time.sleep(1.0)
    sync(client)
    assert len(server_notes(client, kind=1)) == 1
    assert list(servers_by_ip(client)) == [D]
    assert [s["ip"] for s in ok(client.command("detected"))["servers"]] == [D]
