"""A simulated device server: its ports, its command handlers, its faults.

A DeviceServer owns one handler list per UDP port.  Each handler says which datagrams it takes
(by their first word: 1..3 request/response, 4 search, ...), so discovery, keep-alive and other
services are added as further handlers without touching the request/response code.  Replies to
commands come from `commands`: command text -> callable(server, request, params) returning the
reply bytes, or None for no answer at all.
"""

import rwp

DEFAULT_RWP_PORT = 19540
SYSTEM_PORT = 19541


class Fault:
    """One misbehaviour, applied to the replies it matches until its count runs out.

    Kinds: silence / drop (no reply), duplicate (the reply twice), wrong_type (type echo of
    another request type), truncated (datagram cut to `size` bytes), long_length (length field
    `extra` bytes larger than the data sent), offset_past (offset field `gap` bytes beyond the
    offset asked for), bad_more (more field `value`), delay (reply after `seconds`).
    With follow=True a malformed reply is followed by the correct one.
    Filters: request type, asked offset, command text (prefix), server port.
    """

    KINDS = ("silence", "drop", "duplicate", "wrong_type", "truncated", "long_length",
             "offset_past", "bad_more", "delay")
    ALIASES = {"drop_once": ("drop", 1), "silence_once": ("silence", 1)}
    MALFORMED = ("wrong_type", "truncated", "long_length", "offset_past", "bad_more")

    def __init__(self, kind, count=None, type=None, offset=None, command=None, port=None,
                 follow=False, size=5, extra=64, gap=512, value=2, seconds=0.0):
        if kind in self.ALIASES:
            kind, count = self.ALIASES[kind][0], count if count is not None else 1
        if kind not in self.KINDS:
            raise ValueError("unknown fault kind %r" % kind)
        if count is None:
            count = -1 if kind == "silence" else 1
        self.kind = kind
        self.count = int(count)  # -1: for ever
        self.type = type
        self.offset = offset
        self.command = command
        self.port = port
        self.follow = bool(follow)
        self.size = int(size)
        self.extra = int(extra)
        self.gap = int(gap)
        self.value = int(value)
        self.seconds = float(seconds)

    def matches(self, port, request, command):
        if self.count == 0:
            return False
        if self.port is not None and self.port != port:
            return False
        if self.type is not None and self.type != request.type:
            return False
        if self.offset is not None and self.offset != request.offset:
            return False
        if self.command is not None and not (command or "").startswith(self.command):
            return False
        return True

    def consume(self):
        if self.count > 0:
            self.count -= 1

    def describe(self):
        return {"kind": self.kind, "count": self.count, "type": self.type, "offset": self.offset,
                "command": self.command, "port": self.port, "follow": self.follow}


def static_reply(data):
    """A command handler that always answers `data` (None: never answers)."""
    def handler(server, request, params):
        return data
    return handler


class Exchange:
    """What one client peer is being sent: the whole reply of its last type-1 request."""

    __slots__ = ("command", "data")

    def __init__(self, command, data):
        self.command = command
        self.data = data


class RwpPort:
    """The server side of the request/response protocol on one UDP port."""

    def __init__(self, server, port):
        self.server = server
        self.port = port
        self.exchanges = {}  # peer (ip, port) -> Exchange

    def accepts(self, datagram):
        return rwp.first_word(datagram) in (rwp.TYPE_REQUEST, rwp.TYPE_NEXT, rwp.TYPE_END)

    def handle(self, datagram, peer):
        request = rwp.parse_request(datagram)
        if request is None:
            self.server.log_in(self.port, peer, proto="rwp", size=len(datagram), note="short")
            return
        command, params = self._command_of(request, peer)
        self.server.log_in(self.port, peer, proto="rwp", type=request.type,
                           offset=request.offset, max_fragment=request.max_fragment,
                           size=request.size, command=command if command else request.text,
                           params=params.rstrip(b"\0").hex())
        if request.type == rwp.TYPE_REQUEST:
            self._start(request, peer, command, params)
        elif request.type == rwp.TYPE_NEXT:
            self._next(request, peer)
        else:
            self._end(request, peer)

    def _command_of(self, request, peer):
        if request.type == rwp.TYPE_REQUEST:
            return rwp.match_command(request.field, self.server.commands.keys())
        exchange = self.exchanges.get(peer)
        return (exchange.command if exchange else None), b""

    def _start(self, request, peer, command, params):
        self.exchanges.pop(peer, None)
        if command is None:
            self.server.log_event(self.port, peer, "unknown command %r" % request.text)
            return
        handler = self.server.commands[command]
        if getattr(handler, "wants_peer", False):
            data = handler(self.server, request, params, peer)
        else:
            data = handler(self.server, request, params)
        if data is None:
            self.server.log_event(self.port, peer, "no answer to %r" % command, dir="drop")
            return
        if isinstance(data, str):
            data = data.encode("latin-1")
        self.exchanges[peer] = Exchange(command, bytes(data))
        self._send_fragment(request, peer)

    def _next(self, request, peer):
        if peer not in self.exchanges:
            self.server.log_event(self.port, peer, "next fragment without an exchange")
            return
        self._send_fragment(request, peer)

    def _send_fragment(self, request, peer):
        exchange = self.exchanges[peer]
        chunk, more = rwp.fragment_at(exchange.data, request.offset, request.max_fragment)
        self.reply(request, peer, exchange.command, more, request.offset, chunk)

    def _end(self, request, peer):
        exchange = self.exchanges.pop(peer, None)
        command = exchange.command if exchange else None
        self.reply(request, peer, command, 0, request.offset, b"")

    def reply(self, request, peer, command, more, offset, data):
        """Sends one reply fragment, bent by the first fault that matches it."""
        fault = self.server.take_fault(self.port, request, command)
        good = rwp.build_reply(request.type, more, offset, data)
        if fault is None:
            self._send(good, peer)
            return
        kind = fault.kind
        if kind in ("silence", "drop"):
            self.server.log_event(self.port, peer, "%s: reply at offset %d withheld"
                                  % (kind, offset), dir="drop", type=request.type, offset=offset)
        elif kind == "duplicate":
            self._send(good, peer, fault="duplicate")
            self._send(good, peer, fault="duplicate")
        elif kind == "delay":
            self.server.call_later(fault.seconds, lambda: self._send(good, peer, fault="delay"))
        else:
            self._send(self._malformed(fault, request, more, offset, data, good), peer, fault=kind)
            if fault.follow:
                self._send(good, peer)

    @staticmethod
    def _malformed(fault, request, more, offset, data, good):
        kind = fault.kind
        if kind == "wrong_type":
            other = rwp.TYPE_NEXT if request.type == rwp.TYPE_REQUEST else rwp.TYPE_REQUEST
            return rwp.build_reply(other, more, offset, data)
        if kind == "truncated":
            return good[:max(0, fault.size)]
        if kind == "long_length":
            return rwp.build_reply(request.type, more, offset, data, len(data) + fault.extra)
        if kind == "offset_past":
            return rwp.build_reply(request.type, more, offset + fault.gap, data)
        return rwp.build_reply(request.type, fault.value, offset, data)  # bad_more

    def _send(self, datagram, peer, fault=None):
        fields = {"proto": "rwp", "size": len(datagram)}
        parsed = rwp.parse_reply(datagram)
        if parsed is not None:
            fields.update(type=parsed[0], more=parsed[1], offset=parsed[2], length=parsed[3])
        if fault:
            fields["fault"] = fault
        self.server.send(self.port, datagram, peer, **fields)


class DeviceServer:
    """One simulated server: an address, handlers per port, commands and faults."""

    def __init__(self, address, rwp_port=DEFAULT_RWP_PORT, system_port=SYSTEM_PORT):
        self.address = address
        self.rwp_port = rwp_port
        self.system_port = system_port
        self.commands = {}
        self.faults = []
        self.state = {}  # free-form state for handlers added later (devices, storage, ...)
        self.ports = {}  # port -> [handler, ...]
        self.host = None  # the simulator: sockets, clock, log
        self.add_handler(rwp_port, RwpPort(self, rwp_port))
        if system_port != rwp_port:
            self.add_handler(system_port, RwpPort(self, system_port))

    def add_handler(self, port, handler):
        """Adds a service on `port`; a port not yet bound gets its socket now."""
        self.ports.setdefault(port, []).append(handler)
        if self.host is not None:
            self.host.open_port(self, port)

    def set_reply(self, command, data):
        self.commands[command] = static_reply(data)

    def set_handler(self, command, handler):
        self.commands[command] = handler

    def add_fault(self, fault):
        self.faults.append(fault)

    def clear_faults(self):
        self.faults = []

    def take_fault(self, port, request, command):
        for fault in self.faults:
            if fault.matches(port, request, command):
                fault.consume()
                return fault
        return None

    def dispatch(self, port, datagram, peer, dst=None):
        """Hands a datagram to the port's first handler that takes it; `dst` is the address
        it was sent to (when known), given to handlers that ask for it."""
        for handler in self.ports.get(port, ()):
            if handler.accepts(datagram):
                if getattr(handler, "wants_destination", False):
                    handler.handle(datagram, peer, dst)
                else:
                    handler.handle(datagram, peer)
                return
        self.log_in(port, peer, size=len(datagram), note="unhandled",
                    head=datagram[:16].hex())

    # Hooks into the host.
    def send(self, port, datagram, peer, **fields):
        self.host.send(self, port, datagram, peer, **fields)

    def call_later(self, seconds, fn):
        self.host.call_later(seconds, fn)

    def log_in(self, port, peer, **fields):
        self.host.log.add(server=self.address, port=port, dir="in", peer=_peer(peer), **fields)

    def log_event(self, port, peer, text, dir="event", **fields):
        self.host.log.add(server=self.address, port=port, dir=dir, peer=_peer(peer), note=text,
                          **fields)

    def describe(self):
        info = {"address": self.address, "rwp_port": self.rwp_port,
                "system_port": self.system_port, "commands": sorted(self.commands),
                "faults": [f.describe() for f in self.faults if f.count != 0]}
        if "identity" in self.state:
            info["identity"] = self.state["identity"].describe()
        return info


def _peer(peer):
    return "%s:%d" % (peer[0], peer[1])
