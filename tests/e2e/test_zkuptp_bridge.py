"""The bridge to the simulated bus driver: text commands over UDP change the driver's ports.

The bridge steers a bus of its own (--new-bus), so the test leaves the main bus alone.
"""

import os
import socket
import sys
import time

import pytest

from conftest import lan_run, run_wine

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "sim"))
import simctl  # noqa: E402

PC_ADDR = os.environ.get("QZ_PC_ADDR", "127.0.0.1")


def Bridge(paths, bind):
    """A bridge of its own bus (tag from the process id)."""
    return simctl.BusBridge(paths.wine_run, os.path.join(paths.bin, "zkuptp_bridge.exe"), bind,
                            bus_tag=700000 + os.getpid() % 100000)


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


def test_connect_attaches_and_writes_the_device_tree_disconnect_unplugs_it(paths, lan_ns):
    server, pc = "10.77.0.25", PC_ADDR
    bus_id = "USB\\VID_0A5C&PID_0001\\QZ0A4D0019_1-1M1"
    enum_key = "HKLM\\System\\CurrentControlSet\\Enum\\" + bus_id
    b = Bridge(paths, pc)
    try:
        with simctl.Simulator([server], netns=lan_ns, max_seconds=120) as sim:
            sim.set_bridge(*b.address)
            sim.plug(server, name="QZ Laser 10", port="1", location="1-1", interfaces=[[7, 1], [8, 6]])
            sim.plug(server, name="QZ Jet 4", port="2", location="2-1", interfaces=[[7, 1]], dot4=True)
            rwp_port = sim.ports(server)[0]

            def command(text, port_name):
                params = simctl.command_data(server, pc, port_name, protocol_port=5000, flags=2) \
                    if text.endswith("CONNECT:") and "DIS" not in text else simctl.command_data(server, pc, port_name)
                return simctl.exchange(server, rwp_port, text, params)

            # Late enough that the check right after the attach sees only the bus node on a loaded
            # machine; the children are then awaited, not slept for.
            assert b.ask("pnp %s 2-1 late 8000" % server) == "OK"
            for port_name in ("1", "1.2", "2"):
                assert command("EXEC SCANNER CONNECT:", port_name) == b"OK"
            for location in ("1-1M1", "1-1M2", "2-1"):
                assert sim.wait_bridge("attach %s %s " % (server, location))["answer"] == "OK"
            # The dot4 printer's children come late: bus node first, its function and printer later.
            assert [s for _, s, _ in b.tree(server, "2-1")] == ["dot4"]
            attached = b.ports()
            assert attached[(server, "1-1M1")]["id"] == bus_id
            assert attached[(server, "1-1M2")]["state"] == "2"

            services = [(service, port[:3]) for _, service, port in b.tree(server, "1-1M1")]
            assert services == [("usbccgp", "-"), ("usbprint", "-"), ("-", "USB"), ("USBSTOR", "-"), ("disk", "-")]
            assert b.tree(server, "1-1M2") == []
            assert run_wine(paths, "reg", "query", enum_key).returncode == 0
            deadline = time.monotonic() + 60
            while len(dot4 := b.tree(server, "2-1")) == 1 and time.monotonic() < deadline:
                time.sleep(0.2)
            assert [s for _, s, _ in dot4] == ["dot4", "Dot4Prt", "-"] and dot4[2][2].startswith("DOT4_")

            mark = sim.mark()
            for port_name in ("1", "1.2", "2"):
                assert command("EXEC SCANNER DISCONNECT:", port_name) == b"OK"
            for location in ("1-1M1", "1-1M2", "2-1"):
                assert sim.wait_bridge("detach %s %s" % (server, location), since=mark)["answer"] == "OK"
            assert b.ports() == {}
            assert b.tree(server, "1-1M1") == [] and b.tree(server, "2-1") == []
            # Unplugged, the nodes stay as Windows keeps them, not present; the bridge's end removes them.
            assert run_wine(paths, "reg", "query", enum_key, "/v", "QzNotPresent").returncode == 0
            assert [(e["command"], e["ok"]) for e in sim.commands(server)] == \
                [("connect", True)] * 3 + [("disconnect", True)] * 3
            assert sim.commands(server)[0]["params"] == {"protocol_port": 5000, "flags": 2, "keepalive_port": 49235}
    finally:
        b.close()
    assert run_wine(paths, "reg", "query", enum_key).returncode != 0
