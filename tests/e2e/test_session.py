"""Server sessions end to end: the library analyses each server the simulator plays, polls it,
and handles a server that stops answering.

Servers: 10.77.0.40 (version 2.2, RWP level 2), .41 (2.3, level 3), .42 (2.4, level 4, with
storage), .43 (level 4, never answers a device-list request).  These tests hold the
"lan_search" lock: searches are broadcasts seen by every simulator.
"""

import os
import sys
import time

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "sim"))

from simctl import Simulator  # noqa: E402

L2, L3, L4 = "10.77.0.40", "10.77.0.41", "10.77.0.42"
SILENT = "10.77.0.43"
RWP_PORT, STORAGE_PORT = 19540, 19541
LISTS = {L2: "GET USB_DEVICE_LIST", L3: "GET USB_DEVICE_LIST_EX", L4: "GET USB_DEVICE_LIST_EX_II"}
TIMER_MS = 3000


def ok(result):
    assert result["ok"], result
    return result


def wait_for(h, predicate, timeout=20):
    """Waits until some notification line satisfies `predicate`; returns it."""
    deadline = time.monotonic() + timeout
    while True:
        for line in h.notifications():
            if predicate(line):
                return line
        h.expect(lambda line: line.get("type") == "notify", timeout=max(0.1, deadline - time.monotonic()))


def servers_by_ip(h):
    return {s["ip"]: s["handle"] for s in ok(h.command("servers"))["servers"]}


def wait_servers(h, addresses, timeout=20):
    """Waits until every address is a listed server; {address: handle}."""
    deadline = time.monotonic() + timeout
    while True:
        listed = servers_by_ip(h)
        if all(a in listed for a in addresses):
            return {a: listed[a] for a in addresses}
        assert time.monotonic() < deadline, "servers not listed: %r" % listed
        time.sleep(0.2)


def first_requests(sim, server, since=0):
    """(monotonic time, port, command) of each type-1 request the server received."""
    return [(e["mono"], e["port"], e["command"]) for e in sim.log(server, since)
            if e["dir"] == "in" and e.get("proto") == "rwp" and e.get("type") == 1]


def gaps(times):
    return [round(b - a, 2) for a, b in zip(times, times[1:])]


@pytest.fixture
def client(harness, lan_ns):
    ok(harness.command("register"))
    yield harness
    harness.command("end")


def test_each_server_is_asked_for_the_list_of_its_level_and_polled(lan_ns, client):
    with Simulator([L2, L3, L4], netns=lan_ns, discovery=True, max_seconds=120) as sim:
        sim.identity(L2, version="Ver 2.2.0")
        sim.identity(L3, version="Ver 2.3.0")
        sim.identity(L4, version="Ver 2.4.0", storage=True)
        for server, command in LISTS.items():
            sim.set_reply(server, command, bytes(8))
        sim.set_reply(L4, "GET USB_DEVICE_LIST", bytes(8))
        sim.set_reply(L4, "GET STORAGE_LIST", bytes(8))
        mark = sim.mark()
        # CommunicateMode 9: bit 3 asks servers with storage for their storage list.
        ok(client.command("start mode=9 timer=%d broad=0" % TIMER_MS))
        handles = wait_servers(client, [L2, L3, L4])
        for server in (L2, L3, L4):
            wait_for(client, lambda n: n["msg"] == "PNXN_SERVER" and n["kind"] == 3 and n["flags"] == 8
                     and n["lparam"] == handles[server])
        # Three polls of each (six requests of the storage server), however slow the machine.
        deadline = time.monotonic() + 60
        while (any(len(first_requests(sim, server, mark)) < 3 for server in (L2, L3))
               or len(first_requests(sim, L4, mark)) < 6) and time.monotonic() < deadline:
            time.sleep(0.2)

        for server in (L2, L3):
            requests = first_requests(sim, server, mark)
            assert requests, server
            assert {(port, command) for _, port, command in requests} == {(RWP_PORT, LISTS[server])}
            times = [t for t, _, _ in requests]
            assert len(times) >= 3, (server, requests)
            # Each poll follows the last answer by one Timer interval (the upper margin is for a
            # loaded machine, where the answer itself may take a while).
            assert all(TIMER_MS / 1000 - 0.3 < g < TIMER_MS / 1000 + 3.0 for g in gaps(times)), gaps(times)

        # The storage server: each poll asks for the device list, then for the storage list on
        # the second channel.
        requests = first_requests(sim, L4, mark)
        assert requests[0][1:] == (RWP_PORT, LISTS[L4])
        kinds = ["storage" if port == STORAGE_PORT else "list" for _, port, _ in requests]
        assert kinds[:6] == ["list", "storage"] * 3, requests
        assert all(command == "GET STORAGE_LIST" for _, port, command in requests if port == STORAGE_PORT)
        assert all(port == RWP_PORT and command.startswith("GET USB_DEVICE_LIST")
                   for _, port, command in requests if port != STORAGE_PORT)


def test_a_silent_server_times_out_reports_a_network_error_and_is_deleted_once(lan_ns, client):
    with Simulator([SILENT], netns=lan_ns, discovery=True, max_seconds=120) as sim:
        ok(client.command("special options=2"))   # network-error notices on
        mark = sim.mark()
        ok(client.command("start mode=1 timer=%d broad=0" % TIMER_MS))
        handle = wait_servers(client, [SILENT])[SILENT]

        # The device-list request is repeated twice, 2 s apart; the next tick is the network error.
        wait_for(client, lambda n: n["msg"] == "PNXN_NETWORK" and n["kind"] == 2, timeout=15)
        notice_time = time.monotonic()
        assert [n["lparam"] for n in client.notifications("PNXN_NETWORK") if n["kind"] == 2] == [handle]
        requests = [t for t, port, command in first_requests(sim, SILENT, mark)
                    if command == LISTS[L4] and port == RWP_PORT]
        assert len(requests) >= 3, requests
        assert all(1.6 < g < 4.5 for g in gaps(requests[:3])), gaps(requests[:3])
        assert 5.0 < notice_time - requests[0] < 15.0
        # Then the server's status shows the error.
        wait_for(client, lambda n: n["msg"] == "PNXN_SERVER" and n["kind"] == 3 and n["flags"] == 4
                 and n["lparam"] == handle, timeout=20)
        info = ok(client.command("serverinfo %s" % handle))["info"]
        assert info["status"] & 0x4

        # Silent to searches as well: the next search cycle marks it, its probe gets no answer,
        # and it is lost: reported deleted exactly once.
        sim.silent(SILENT)
        before = len(client.notifications())
        ok(client.command("renew mode=0"))
        deleted = wait_for(client, lambda n: n["msg"] == "PNXN_SERVER" and n["kind"] == 2, timeout=20)
        assert deleted["lparam"] == handle
        time.sleep(TIMER_MS / 1000 + 2)
        ok(client.command("props"))
        later = client.notifications()[before:]
        assert len([n for n in later if n["msg"] == "PNXN_SERVER" and n["kind"] == 2]) == 1
        assert SILENT not in servers_by_ip(client)
