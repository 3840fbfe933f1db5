"""Discovery as the simulated servers play it: searches in, search replies out.

A search is 88 bytes to UDP 19540: u16 command 4, u16 rule, zeros, u16 extension length at 86.
Each server answers with a reply built from its Identity (every field settable), sent from its
own address and its request/response port, because the client takes the server's RWP port from
the reply's source.  Broadcast searches reach the simulator on one wildcard socket
(SearchListener) that reads each datagram's destination address; unicast searches reach the
server's own socket on the search port.  Every search is logged with that destination, so a
test sees exactly where the client sent it.

Pure building and parsing are plain functions, shared with the tests.
"""

import ipaddress
import socket
import struct

SEARCH_PORT = 19540
SEARCH_COMMAND = 4
SEARCH_SIZE = 88
DEFAULT_RULE = 0x9506
REPLY_TYPE = 2
REPLY_SIZE = 244   # the last field (64 bytes of extra data at 180) ends here
REPLY_MAX = 512
IP_PKTINFO = 8     # Linux; the socket module of older Pythons does not name it

# Byte offsets of the reply fields.
OFF_TYPE = 0
OFF_RULE = 2
OFF_MODEL = 36
OFF_STORAGE = 51   # last byte of the model field; bit 0 marks storage
OFF_MAC = 56
OFF_FLAGS = 64
OFF_IPV4 = 66
OFF_VERSION = 72
OFF_FUNCTION_FLAGS = 82  # little-endian, inside the 16 bytes that follow the version text
OFF_HOST = 116
OFF_KIND_ZERO = 132
OFF_KIND = 133
OFF_KIND_DATA = 134
OFF_FIRMWARE = 164
OFF_EXTRA = 180


def build_search(rule=DEFAULT_RULE, extension=b""):
    """A search as the client sends it (for the simulator's own tests and the benchmark)."""
    head = struct.pack(">HH", SEARCH_COMMAND, rule & 0xFFFF)
    return head + bytes(82) + struct.pack(">H", len(extension)) + extension


def parse_search(datagram):
    """(rule, extension length) of a search, or None for anything else."""
    if len(datagram) < SEARCH_SIZE:
        return None
    command, rule = struct.unpack_from(">HH", datagram, 0)
    if command != SEARCH_COMMAND:
        return None
    return rule, struct.unpack_from(">H", datagram, 86)[0]


def default_mac(address):
    """A locally administered hardware address that ends in the IPv4 address's last octets."""
    octets = ipaddress.IPv4Address(address).packed
    return "02:51:5a:%02x:%02x:%02x" % (octets[1], octets[2], octets[3])


def _mac_bytes(text):
    raw = bytes.fromhex(text.replace(":", "").replace("-", ""))
    if len(raw) != 6:
        raise ValueError("a hardware address has 6 bytes: %r" % text)
    return raw


def _put(buffer, offset, data, width=None):
    """Writes `data` at `offset`, cut to `width` bytes (the rest of the field stays zero)."""
    if isinstance(data, str):
        data = data.encode("latin-1")
    if width is not None:
        data = data[:width]
    buffer[offset:offset + len(data)] = data


class Identity:
    """What one server says about itself in a search reply.

    Fields: type, rule, model (text, 16 bytes), storage (bit 0 of byte 51), mac, flags,
    ipv4 (dotted text; None: the server's address), version (text at 72), function_flags
    (little-endian at 82), host (16 bytes), kind_zero (byte 132), kind (byte 133), kind_data
    (hex from 134), firmware (16 bytes at 164), extra (hex, up to 64 bytes at 180), length
    (bytes sent, 4..512), patch (list of [offset, hex] written last), answer (False: silent).
    """

    DEFAULTS = {
        "type": REPLY_TYPE, "rule": DEFAULT_RULE, "model": "QZ-5400", "storage": False,
        "mac": None, "flags": 0, "ipv4": None, "version": "Ver 2.4.0", "function_flags": 0,
        "host": None, "kind_zero": 0, "kind": 0, "kind_data": "", "firmware": "1.0.0",
        "extra": "", "length": REPLY_SIZE, "patch": [], "answer": True,
    }

    def __init__(self, address, **fields):
        self.values = dict(self.DEFAULTS)
        self.values["mac"] = default_mac(address)
        self.values["host"] = "QZSRV-%s" % address.rsplit(".", 1)[-1]
        self.update(**fields)

    def update(self, **fields):
        unknown = set(fields) - set(self.DEFAULTS)
        if unknown:
            raise ValueError("unknown identity fields: %s" % ", ".join(sorted(unknown)))
        merged = dict(self.values, **fields)
        length = int(merged["length"])
        if not 4 <= length <= REPLY_MAX:
            raise ValueError("length must be 4..%d" % REPLY_MAX)
        _mac_bytes(merged["mac"])
        if merged["ipv4"] is not None:
            ipaddress.IPv4Address(merged["ipv4"])
        self.values = merged

    def __getitem__(self, name):
        return self.values[name]

    def reply(self, address):
        """The reply datagram of a server that currently has `address`."""
        v = self.values
        data = bytearray(max(REPLY_MAX, int(v["length"])))
        struct.pack_into(">HH", data, OFF_TYPE, v["type"] & 0xFFFF, v["rule"] & 0xFFFF)
        _put(data, OFF_MODEL, v["model"], 16)
        if v["storage"]:
            data[OFF_STORAGE] |= 1
        data[OFF_MAC:OFF_MAC + 6] = _mac_bytes(v["mac"])
        struct.pack_into(">H", data, OFF_FLAGS, v["flags"] & 0xFFFF)
        ipv4 = v["ipv4"] if v["ipv4"] is not None else address
        data[OFF_IPV4:OFF_IPV4 + 4] = socket.inet_aton(ipv4)
        _put(data, OFF_VERSION, v["version"], 16)
        struct.pack_into("<H", data, OFF_FUNCTION_FLAGS, v["function_flags"] & 0xFFFF)
        _put(data, OFF_HOST, v["host"], 16)
        data[OFF_KIND_ZERO] = v["kind_zero"] & 0xFF
        data[OFF_KIND] = v["kind"] & 0xFF
        _put(data, OFF_KIND_DATA, bytes.fromhex(v["kind_data"]), OFF_FIRMWARE - OFF_KIND_DATA)
        _put(data, OFF_FIRMWARE, v["firmware"], 16)
        _put(data, OFF_EXTRA, bytes.fromhex(v["extra"]), 64)
        for offset, hex_bytes in v["patch"]:
            _put(data, int(offset), bytes.fromhex(hex_bytes))
        return bytes(data[:int(v["length"])])

    def describe(self):
        return dict(self.values)


class SearchResponder:
    """The search service of one server, on its own socket of the search port."""

    wants_destination = True

    def __init__(self, server):
        self.server = server

    def accepts(self, datagram):
        return len(datagram) >= 2 and struct.unpack_from(">H", datagram, 0)[0] == SEARCH_COMMAND

    def handle(self, datagram, peer, dst=None):
        log_search(self.server.host.log, self.server.address, self.port, datagram, peer,
                   dst or self.server.address)
        answer_search(self.server, datagram, peer)

    @property
    def port(self):
        return self.server.host.search_port


def log_search(log, where, port, datagram, peer, dst):
    parsed = parse_search(datagram)
    fields = {"server": where, "port": port, "dir": "in", "proto": "search",
              "peer": "%s:%d" % peer, "dst": dst, "size": len(datagram)}
    if parsed is None:
        fields["note"] = "not a search"
    else:
        fields["rule"], fields["extension"] = parsed
    log.add(**fields)


def answer_search(server, datagram, peer):
    """Sends the server's reply from its request/response port, unless it is silent."""
    identity = server.state.get("identity")
    if identity is None or parse_search(datagram) is None:
        return
    if not identity["answer"]:
        server.log_event(server.host.search_port, peer, "silent: search not answered",
                         dir="drop", proto="search")
        return
    server.send(server.rwp_port, identity.reply(server.address), peer, proto="search_reply",
                rule=identity["rule"])


def is_broadcast(dst):
    """The limited broadcast or a directed one (all host bits set, for the usual masks)."""
    return dst == "255.255.255.255" or dst.endswith(".255")


class SearchListener:
    """The wildcard socket of the search port: sees broadcasts and stray unicast searches."""

    address = "*"

    def __init__(self, host, port):
        self.host = host
        self.port = port

    def dispatch(self, port, datagram, peer, dst=None):
        log_search(self.host.log, self.address, port, datagram, peer, dst)
        if dst is None:
            return
        if is_broadcast(dst):
            targets = list(self.host.servers.values())
        else:
            # A unicast search that found no socket of its own (a server whose request/response
            # port is not the search port has none on it) still belongs to that server.
            targets = [s for s in self.host.servers.values() if s.address == dst]
        for server in targets:
            answer_search(server, datagram, peer)
