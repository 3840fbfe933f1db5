#!/usr/bin/python3
"""Device-server simulator: plays any number of servers, each on its own IPv4 address.

    devserver.py [--rwp-port N] [--system-port N] [--discovery] [--search-port N]
                 [--keepalive] [--log FILE] [--max-seconds S] ADDRESS...

Run it on the LAN side of the test network (ip netns exec $QZ_LAN_NS ...) with the servers'
addresses (10.77.0.2 ...), or on 127.0.0.x for quick checks; a port of 0 takes a free one.
With --discovery (or --search-port) the servers also answer searches (discovery.py); only one
such simulator can run per network namespace, since searches are broadcasts.
It is driven through its standard input: one JSON object per line (see control.py), each
answered by one JSON line on standard output.  The first output line is
{"ready": true, "servers": [...]} once every socket is bound.  The simulator ends on "quit",
at the end of its input, or after --max-seconds, so a test that dies cannot leave it running.
Every datagram received and sent goes to an in-memory log (the "log" command) and, with --log,
to a file of JSON lines.
"""

import argparse
import errno
import heapq
import itertools
import json
import os
import resource
import selectors
import socket
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import connect  # noqa: E402
import control  # noqa: E402
import discovery  # noqa: E402
import keepalive  # noqa: E402
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
        self.search_port = None  # set by enable_discovery
        self.keepalive = False   # servers listen on the keep-alive port (--keepalive)
        self.servers = {}  # address -> DeviceServer
        self.sockets = {}  # (address, port) -> socket
        self.claims = {}   # (address, port) -> the claim that keeps other simulators off it
        self.selector = selectors.DefaultSelector()
        self.timers = []
        self.timer_seq = itertools.count()
        self.running = True
        self.control_buffer = b""
        self.bridge = connect.BridgeLink(self)  # toward zkuptp_bridge.exe (the PC's bus driver)

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
                self._release(address, sock)
            raise
        server = DeviceServer(address, rwp_port, system_port)
        server.host = self
        for sock in opened:
            self._register(server, sock)
        if self.search_port is not None:
            server.state["identity"] = discovery.Identity(address)
        try:
            if self.search_port is not None:
                server.add_handler(self.search_port, discovery.SearchResponder(server))
            if self.keepalive:
                server.add_handler(keepalive.KEEPALIVE_PORT, keepalive.KeepAliveListener(server))
        except OSError:
            for port in [p for (a, p) in self.sockets if a == address]:
                self._release(address, self.sockets.pop((address, port)))
            raise
        self.servers[address] = server
        return server

    def enable_discovery(self, port):
        """Opens the wildcard socket of the search port (0: any free port, for loopback)."""
        sock = self._bind("0.0.0.0", port, claim_as="*")
        self.search_port = sock.getsockname()[1]
        self._register(discovery.SearchListener(self, self.search_port), sock)

    def move_server(self, old, new):
        """Gives a server another address: its sockets move, everything else stays."""
        if new in self.servers:
            raise control.ControlError("server %s exists" % new)
        server = self.servers[old]
        ports = sorted(port for (address, port) in self.sockets if address == old)
        opened = []
        try:
            for port in ports:
                opened.append(self._bind(new, port))
        except OSError:
            for sock in opened:
                self._release(new, sock)
            raise
        for port in ports:
            self._release(old, self.sockets.pop((old, port)))
        del self.servers[old]
        server.address = new
        self.servers[new] = server
        for sock in opened:
            self._register(server, sock)
        return server

    def open_port(self, server, port):
        """A socket for a port that a handler added later listens on."""
        if (server.address, port) not in self.sockets:
            self._register(server, self._bind(server.address, port))

    def _bind(self, address, port, claim_as=None):
        # SO_REUSEADDR lets the wildcard search socket and the servers' own sockets share the
        # search port. Two simulators on one address and port (test files run in parallel in
        # one LAN namespace) would then silently split the datagrams between them, so each
        # bound address and port is also claimed by an abstract socket name, which exists once
        # per network namespace and goes away with the process: a second claim fails at once.
        sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        claim = None
        try:
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            sock.setsockopt(socket.IPPROTO_IP, discovery.IP_PKTINFO, 1)
            sock.bind((address, port))
            sock.setblocking(False)
            claim = _claim(claim_as or address, sock.getsockname()[1])
        except OSError:
            sock.close()
            raise
        self.claims[(claim_as or address, sock.getsockname()[1])] = claim
        return sock

    def _release(self, address, sock):
        port = sock.getsockname()[1]
        try:
            self.selector.unregister(sock)
        except (KeyError, ValueError):
            pass
        sock.close()
        claim = self.claims.pop((address, port), None)
        if claim is not None:
            claim.close()

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
                elif callable(key.data):
                    key.data()
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
                datagram, ancillary, _, peer = sock.recvmsg(65536, socket.CMSG_SPACE(12))
            except (BlockingIOError, InterruptedError):
                return
            except OSError as exc:  # e.g. ICMP port unreachable from an earlier send
                self.log.add(server=server.address, port=port, dir="event", note=str(exc))
                return
            server.dispatch(port, datagram, peer, _destination(ancillary))

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


def _claim(address, port):
    claim = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
    try:
        claim.bind("\0qz-devserver/%s:%d" % (address, port))
    except OSError as exc:
        claim.close()
        if exc.errno == errno.EADDRINUSE:
            raise OSError(errno.EADDRINUSE, "%s:%d is played by another simulator in this "
                          "network namespace" % (address, port)) from None
        raise
    return claim


def _destination(ancillary):
    """The destination address of a datagram, from its IP_PKTINFO (struct in_pktinfo)."""
    for level, kind, data in ancillary:
        if level == socket.IPPROTO_IP and kind == discovery.IP_PKTINFO and len(data) >= 12:
            return socket.inet_ntoa(data[8:12])
    return None


def _raise_file_limit():
    # Hundreds of servers hold four descriptors each (two ports, two claims).
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    if soft != resource.RLIM_INFINITY and (hard == resource.RLIM_INFINITY or soft < hard):
        resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("addresses", nargs="*", help="IPv4 address of each server")
    parser.add_argument("--rwp-port", type=int, default=DEFAULT_RWP_PORT)
    parser.add_argument("--system-port", type=int, default=SYSTEM_PORT)
    parser.add_argument("--discovery", action="store_true",
                        help="answer searches on UDP %d" % discovery.SEARCH_PORT)
    parser.add_argument("--search-port", type=int,
                        help="answer searches on this port (implies --discovery)")
    parser.add_argument("--keepalive", action="store_true",
                        help="servers log keep-alive datagrams on UDP %d" % keepalive.KEEPALIVE_PORT)
    parser.add_argument("--log", help="also append the log to this file (JSON lines)")
    parser.add_argument("--max-seconds", type=float, default=1800.0)
    args = parser.parse_args(argv)

    _raise_file_limit()
    host = Host(EventLog(args.log), args.rwp_port, args.system_port)
    host.keepalive = args.keepalive
    try:
        if args.discovery or args.search_port is not None:
            host.enable_discovery(discovery.SEARCH_PORT if args.search_port is None
                                  else args.search_port)
        for address in args.addresses:
            host.add_server(address)
    except OSError as exc:
        sys.stdout.write(json.dumps({"ready": False, "error": str(exc)}) + "\n")
        return 1
    sys.stdout.write(json.dumps({"ready": True, "search_port": host.search_port, "servers": [
        s.describe() for s in host.servers.values()]}) + "\n")
    sys.stdout.flush()
    host.run(time.monotonic() + args.max_seconds)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
