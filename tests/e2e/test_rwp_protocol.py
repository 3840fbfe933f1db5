"""The library's request/response exchanges against a simulated server on the test LAN:
blocking request, monitor channel and command exchange, with lost, doubled and malformed
replies."""

import os
import sys

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "sim"))

from simctl import Simulator  # noqa: E402

SERVER = "10.77.0.2"
RWP_PORT = 19540
SYSTEM_PORT = 19541
LIST_1300 = bytes((i * 13 + 5) % 256 for i in range(1300))
# An answer in three fragments that fits the command exchange's 1280-byte buffer.
LONG_OK = b"OK" + LIST_1300[2:1200]
HANDSHAKE_1200 = [(1, 0), (2, 512), (2, 1024), (3, 1200)]
HANDSHAKE_1300 = [(1, 0), (2, 512), (2, 1024), (3, 1300)]
CONNECT = '"EXEC SCANNER CONNECT:"'
MALFORMED = {
    "wrong_type": {"kind": "wrong_type"},
    "shorter_than_header": {"kind": "truncated", "size": 5},
    "cut_data": {"kind": "truncated", "size": 100},
    "length_past_datagram": {"kind": "long_length", "extra": 600},
    "offset_past_asked": {"kind": "offset_past", "gap": 512},
    "more_is_2": {"kind": "bad_more", "value": 2},
}


@pytest.fixture
def sim(lan_ns, tmp_path):
    with Simulator([SERVER], netns=lan_ns, max_seconds=280,
                   log_path=str(tmp_path / "devserver.jsonl")) as s:
        s.set_reply(SERVER, "GET USB_DEVICE_LIST", LIST_1300)
        yield s


def ok(result):
    assert result["ok"], result
    return result


def request(harness, command="GET USB_DEVICE_LIST", capacity=65536, port=RWP_PORT):
    return ok(harness.command('request %s "%s" %d %d' % (SERVER, command, capacity, port)))


def exchange(harness, command=CONNECT, params="", port=RWP_PORT):
    line = "exchange %s %d %s" % (SERVER, port, command)
    if params:
        line += " params=" + params
    return ok(harness.command(line, timeout=30))["answer"]


def monitor(harness, kind="list", port=SYSTEM_PORT):
    return ok(harness.command("monitor %s %d %s" % (SERVER, port, kind), timeout=30))


def sizes(sim, since, direction="in"):
    return [e["size"] for e in sim.log(SERVER, since) if e["dir"] == direction and "type" in e]


class TestFragmentedReplies:
    def test_blocking_request_fetches_1300_bytes_in_three_fragments(self, sim, harness):
        mark = sim.mark()
        result = request(harness)
        assert result["length"] == 1300
        assert bytes.fromhex(result["hex"]) == LIST_1300
        assert sim.requests(SERVER, since=mark) == HANDSHAKE_1300
        assert sizes(sim, mark) == [88, 88, 88, 88]

    def test_blocking_request_refuses_a_reply_larger_than_its_buffer(self, sim, harness):
        assert request(harness, capacity=1000)["length"] == -1

    def test_monitor_channel_fetches_1300_bytes_and_posts_the_list_message(self, sim, harness):
        mark = sim.mark()
        result = monitor(harness)
        assert result["message"] == 1229
        assert result["length"] == 1300
        assert bytes.fromhex(result["hex"]) == LIST_1300
        assert sim.requests(SERVER, since=mark, port=SYSTEM_PORT) == HANDSHAKE_1300
        assert sizes(sim, mark) == [88, 88, 88, 88]

    @pytest.mark.parametrize("kind, command, message", [
        ("ex", "GET USB_DEVICE_LIST_EX", 1246),
        ("exii", "GET USB_DEVICE_LIST_EX_II", 1247),
        ("storage", "GET STORAGE_LIST", 1236),
    ])
    def test_monitor_channel_names_each_list_by_its_message(self, sim, harness, kind, command,
                                                            message):
        reply = b"\x01" + b"NAS-ONE\x00" + bytes(600)
        sim.set_reply(SERVER, command, reply)
        result = monitor(harness, kind, port=RWP_PORT)
        assert (result["message"], result["length"]) == (message, len(reply))
        assert bytes.fromhex(result["hex"]) == reply
        assert result["title"] == "NAS-ONE"
        assert result["name"] == ("NAS-ONE" if kind == "storage" else "")


class TestCommandExchange:
    def test_answer_codes_and_silence(self, sim, harness):
        for text, code in (("OK", 0), ("ng", 1), ("NG busy", 1), ("Error", 1), ("deny", 2),
                           ("DENY", 2), ("", 0)):
            sim.set_reply(SERVER, "EXEC SCANNER CONNECT:", text)
            assert exchange(harness) == code, text
        sim.set_reply(SERVER, "EXEC SCANNER CONNECT:", None)
        mark = sim.mark()
        result = ok(harness.command("exchange %s %d %s" % (SERVER, RWP_PORT, CONNECT),
                                    timeout=30))
        assert result["answer"] == -1
        assert 3500 <= result["ms"] <= 6500
        assert sim.requests(SERVER, since=mark) == [(1, 0)] * 4

    def test_each_command_is_sent_by_text_with_its_parameters(self, sim, harness):
        for command, index in (("EXEC SCANNER DISCONNECT:", 17), ("EXEC SAFE REMOVE:", 60)):
            sim.set_reply(SERVER, command, "OK")
            mark = sim.mark()
            assert exchange(harness, str(index), params="5553423030310000") == 0
            first = sim.log(SERVER, mark)[0]
            assert (first["command"], first["params"], first["size"]) == (
                command, "555342303031", 510)

    def test_dropped_fragment_is_asked_again_at_the_same_offset(self, sim, harness):
        sim.set_reply(SERVER, "EXEC SCANNER CONNECT:", LONG_OK)
        sim.fault(SERVER, "drop", offset=512)
        mark = sim.mark()
        assert exchange(harness) == 0
        assert sim.requests(SERVER, since=mark) == [(1, 0), (2, 512), (2, 512), (2, 1024),
                                                    (3, 1200)]

    def test_duplicated_fragment_causes_no_extra_request(self, sim, harness):
        sim.set_reply(SERVER, "EXEC SCANNER CONNECT:", LONG_OK)
        # The copy of a middle fragment arrives while the next one (same type) is awaited.
        sim.fault(SERVER, "duplicate", offset=512)
        sim.fault(SERVER, "duplicate", offset=1024)
        mark = sim.mark()
        assert exchange(harness) == 0
        assert sim.requests(SERVER, since=mark) == HANDSHAKE_1200

        sim.fault(SERVER, "duplicate", offset=512)
        mark = sim.mark()
        assert monitor(harness)["length"] == 1300
        assert sim.requests(SERVER, since=mark) == HANDSHAKE_1300

    def test_answer_and_end_handshake_survive_a_lost_end_reply(self, sim, harness):
        sim.set_reply(SERVER, "EXEC SCANNER CONNECT:", "deny")
        sim.fault(SERVER, "drop", type=3)
        mark = sim.mark()
        assert exchange(harness) == 2
        assert sim.requests(SERVER, since=mark) == [(1, 0), (3, 4), (3, 4)]


class TestLostAndMalformedReplies:
    def test_blocking_request_asks_a_dropped_fragment_again(self, sim, harness):
        sim.fault(SERVER, "drop", offset=1024)
        mark = sim.mark()
        assert bytes.fromhex(request(harness)["hex"]) == LIST_1300
        assert sim.requests(SERVER, since=mark) == [(1, 0), (2, 512), (2, 1024), (2, 1024),
                                                    (3, 1300)]

    def test_blocking_request_gives_up_after_five_sends(self, sim, harness):
        sim.fault(SERVER, "drop", offset=512, count=5)
        mark = sim.mark()
        assert request(harness)["length"] == -1
        assert sim.requests(SERVER, since=mark) == [(1, 0)] + [(2, 512)] * 5

    @pytest.mark.parametrize("fault", MALFORMED.values(), ids=MALFORMED.keys())
    def test_malformed_fragment_is_survived_everywhere(self, sim, harness, fault):
        sim.set_reply(SERVER, "EXEC SCANNER CONNECT:", LONG_OK)
        sim.fault(SERVER, offset=512, **fault)
        assert exchange(harness) == 0

        sim.fault(SERVER, offset=512, **fault)
        assert bytes.fromhex(request(harness)["hex"]) == LIST_1300

        # A channel has no retry of its own: the good fragment follows the bad one.
        sim.fault(SERVER, offset=512, follow=True, **fault)
        result = monitor(harness)
        assert (result["message"], result["length"]) == (1229, 1300)
        assert bytes.fromhex(result["hex"]) == LIST_1300
        assert not [e for e in sim.log(SERVER) if e["dir"] == "out" and e.get("error")]

    def test_malformed_end_reply_and_short_reply_text(self, sim, harness):
        sim.set_reply(SERVER, "EXEC SCANNER CONNECT:", "n")
        sim.fault(SERVER, "long_length", type=3, extra=1000)
        assert exchange(harness) == 0
        sim.set_reply(SERVER, "GET STORAGE_LIST", b"\x01")
        result = monitor(harness, "storage")
        assert (result["message"], result["length"], result["title"]) == (1236, 1, "")
