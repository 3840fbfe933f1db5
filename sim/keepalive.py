"""The keep-alive side of the simulated servers: UDP 49235, where the client tells a server
every 8 seconds which of its ports it uses.

A datagram is big-endian: u16 total length (4 + the port list), u16 magic 0x4B41, then the port
list: each port name with its zero byte, and one more zero byte at the end.  Every datagram is
logged decoded (proto "keepalive"); a server answers only when a test asked it to.
"""

import struct

KEEPALIVE_PORT = 49235
MAGIC = 0x4B41
HEADER_SIZE = 4


def parse_keepalive(datagram):
    """The fields of a keep-alive datagram as the log shows them (never raises)."""
    fields = {"size": len(datagram)}
    if len(datagram) < HEADER_SIZE:
        fields["note"] = "short"
        return fields
    length, magic = struct.unpack_from(">HH", datagram, 0)
    fields.update(length=length, magic=magic, length_ok=length == len(datagram))
    names = []
    rest = datagram[HEADER_SIZE:]
    terminated = False
    while rest:
        end = rest.find(b"\0")
        if end < 0:
            names.append(rest.decode("latin-1"))  # a name without its zero byte
            break
        if end == 0:
            terminated = True  # the empty name that ends the list
            break
        names.append(rest[:end].decode("latin-1"))
        rest = rest[end + 1:]
    fields.update(ports=names, terminated=terminated)
    return fields


def build_keepalive(ports):
    """A datagram as the client builds it (for the simulator's own tests)."""
    body = b"".join(p.encode("latin-1") + b"\0" for p in ports) + b"\0"
    return struct.pack(">HH", HEADER_SIZE + len(body), MAGIC) + body


class KeepAliveListener:
    """The keep-alive port of one server."""

    def __init__(self, server):
        self.server = server
        server.state.setdefault("keepalive_answer", None)

    def accepts(self, datagram):
        return True

    def handle(self, datagram, peer):
        self.server.log_in(KEEPALIVE_PORT, peer, proto="keepalive", **parse_keepalive(datagram))
        answer = self.server.state.get("keepalive_answer")
        if answer is None:
            return
        data = datagram if answer == "echo" else bytes.fromhex(answer)
        self.server.send(KEEPALIVE_PORT, data, peer, proto="keepalive_answer", size=len(data))
