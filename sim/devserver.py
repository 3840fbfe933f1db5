#!/usr/bin/python3
"""Device-server simulator: plays any number of servers, each on its own IPv4 address.

    devserver.py [--rwp-port N] [--system-port N] [--log FILE] [--max-seconds S] ADDRESS...

Run it on the LAN side of the test network (ip netns exec $QZ_LAN_NS ...) with the servers'
addresses (10.77.0.2 ...), or on 127.0.0.x for quick checks; a port of 0 takes a free one.
It is driven through its standard input: one JSON object per line (see control.py), each
answered by one JSON line on standard output.  The first output line is
{"ready": true, "servers": [...]} once every socket is bound.  The simulator ends on "quit",
at the end of its input, or after --max-seconds, so a test that dies cannot leave it running.
Every datagram received and sent goes to an in-memory log (the "log" command) and, with --log,
to a file of JSON lines.
"""

import argparse
import heapq
import itertools
import json
import os
import selectors
import socket
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import control  # noqa: E402
from server import DEFAULT_RWP_PORT, SYSTEM_PORT, DeviceServer  # noqa: E402


class EventLog:
    """Every datagram and notable event, in order, with wall-clock and monotonic times."""

    def __init__(self, path=None):
        self.entries = []
        self.base = 0  # sequence number of entries[0] (entries before it were cleared)
        self.file = open(path, "a", buffering=1) if path else None

    def add(self, **fields):
        entry = {"seq": self.base + len(self.entries), "time": time.time(),
                 "mono": time.monotonic()}
        entry.update(fields)
        self.entries.append(entry)
        if self.file:
            self.file.write(json.dumps(entry) + "\n")

    def since(self, seq):
        return self.entries[max(0, seq - self.base):]

    def count(self):
        return self.base + len(self.entries)

    def clear(self):
        self.base += len(self.entries)
        self.entries = []


class Host:
    """The sockets, the clock and the control stream shared by all simulated servers."""

    def __init__(self, log, rwp_port, system_port):
        self.log = log
        self.rwp_port = rwp_port
        self.system_port = system_port
        self.servers = {}  # address -> DeviceServer
        self.sockets = {}  # (address, port) -> socket
        self.selector = selectors.DefaultSelector()
        self.timers = []
        self.timer_seq = itertools.count()
        self.running = True
        self.control_buffer = b""

    def add_server(self, address, rwp_port=None, system_port=None):
        """Binds a new server's two request/response ports (0: any free port) and adds it."""
        if address in self.servers:
            raise control.ControlError("server %s exists" % address)
        rwp_port = self.rwp_port if rwp_port is None else int(rwp_port)
        system_port = self.system_port if system_port is None else int(system_port)
        opened = [self._bind(address, rwp_port)]
        try:
            rwp_port = opened[0].getsockname()[1]
            if system_port != rwp_port:
                opened.append(self._bind(address, system_port))
                system_port = opened[1].getsockname()[1]
        except OSError:
            for sock in opened:
                sock.close()
            raise
        server = DeviceServer(address, rwp_port, system_port)
        server.host = self
        for sock in opened:
            self._register(server, sock)
        self.servers[address] = server
        return server

    def open_port(self, server, port):
        """A socket for a port that a handler added later listens on."""
        if (server.address, port) not in self.sockets:
            self._register(server, self._bind(server.address, port))

    @staticmethod
    def _bind(address, port):
        # No SO_REUSEADDR: two simulators on one address and port (test files run in parallel
        # in one LAN namespace) would silently split the datagrams between them; failing the
        # bind says so at once.
        sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        try:
            sock.bind((address, port))
            sock.setblocking(False)
        except OSError:
            sock.close()
            raise
        return sock

    def _register(self, server, sock):
        port = sock.getsockname()[1]
        self.sockets[(server.address, port)] = sock
        self.selector.register(sock, selectors.EVENT_READ, (server, port))

    def send(self, server, port, datagram, peer, **fields):
        sock = self.sockets[(server.address, port)]
        try:
            sock.sendto(datagram, peer)
        except OSError as exc:
            fields["error"] = str(exc)
        self.log.add(server=server.address, port=port, dir="out", peer="%s:%d" % peer,
                     **fields)

    def call_later(self, seconds, fn):
        heapq.heappush(self.timers, (time.monotonic() + seconds, next(self.timer_seq), fn))

    def stop(self):
        self.running = False

    def run(self, deadline):
        self.selector.register(sys.stdin.fileno(), selectors.EVENT_READ, None)
        while self.running and time.monotonic() < deadline:
            timeout = deadline - time.monotonic()
            if self.timers:
                timeout = min(timeout, self.timers[0][0] - time.monotonic())
            for key, _ in self.selector.select(max(0.0, timeout)):
                if key.data is None:
                    self._read_control()
                else:
                    self._read_datagrams(key.fileobj, *key.data)
            self._run_timers()

    def _run_timers(self):
        now = time.monotonic()
        while self.timers and self.timers[0][0] <= now:
            _, _, fn = heapq.heappop(self.timers)
            fn()

    def _read_datagrams(self, sock, server, port):
        while True:
            try:
                datagram, peer = sock.recvfrom(65536)
            except (BlockingIOError, InterruptedError):
                return
            except OSError as exc:  # e.g. ICMP port unreachable from an earlier send
                self.log.add(server=server.address, port=port, dir="event", note=str(exc))
                return
            server.dispatch(port, datagram, peer)

    def _read_control(self):
        chunk = os.read(sys.stdin.fileno(), 65536)
        if not chunk:
            self.stop()
            return
        self.control_buffer += chunk
        while b"\n" in self.control_buffer:
            line, self.control_buffer = self.control_buffer.split(b"\n", 1)
            if line.strip():
                answer = control.handle_line(self, line.decode("utf-8", "replace"))
                sys.stdout.write(answer + "\n")
                sys.stdout.flush()


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("addresses", nargs="*", help="IPv4 address of each server")
    parser.add_argument("--rwp-port", type=int, default=DEFAULT_RWP_PORT)
    parser.add_argument("--system-port", type=int, default=SYSTEM_PORT)
    parser.add_argument("--log", help="also append the log to this file (JSON lines)")
    parser.add_argument("--max-seconds", type=float, default=1800.0)
    args = parser.parse_args(argv)

    host = Host(EventLog(args.log), args.rwp_port, args.system_port)
    try:
        for address in args.addresses:
            host.add_server(address)
    except OSError as exc:
        sys.stdout.write(json.dumps({"ready": False, "error": str(exc)}) + "\n")
        return 1
    sys.stdout.write(json.dumps({"ready": True, "servers": [
        s.describe() for s in host.servers.values()]}) + "\n")
    sys.stdout.flush()
    host.run(time.monotonic() + args.max_seconds)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
