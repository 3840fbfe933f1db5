"""Datagrams of the request/response protocol, seen from the server side.

Pure functions only: no sockets, so tests and the simulator share them.

Request (big-endian): u16 type (1 request, 2 next fragment, 3 end), u16 version word,
80-byte command field (text, then parameter bytes where the text's zero would stand),
u16 offset at 84, u16 largest fragment at 86; a type-1 request may carry a zero tail up to
510 bytes.  Reply: u16 type echo, u16 more, u16 offset, u16 length, data.
"""

import struct

TYPE_REQUEST = 1
TYPE_NEXT = 2
TYPE_END = 3
TYPE_SEARCH = 4  # discovery datagrams share the first word's numbering

REQUEST_HEADER_SIZE = 88
REQUEST_FULL_SIZE = 510
COMMAND_FIELD_SIZE = 80
COMMAND_FIELD_OFFSET = 4
REPLY_HEADER_SIZE = 8
MAX_FRAGMENT = 512

_REQ = struct.Struct(">HH80sHH")
_REPLY = struct.Struct(">HHHH")


class Request:
    """One parsed request datagram."""

    __slots__ = ("type", "version", "field", "offset", "max_fragment", "size")

    def __init__(self, type_, version, field, offset, max_fragment, size):
        self.type = type_
        self.version = version
        self.field = field
        self.offset = offset
        self.max_fragment = max_fragment
        self.size = size

    @property
    def text(self):
        """The command text: the field up to its first zero byte."""
        end = self.field.find(b"\0")
        raw = self.field if end < 0 else self.field[:end]
        return raw.decode("latin-1")


def parse_request(datagram):
    """Returns a Request, or None for a datagram too short to be one."""
    if len(datagram) < REQUEST_HEADER_SIZE:
        return None
    type_, version, field, offset, max_fragment = _REQ.unpack_from(datagram, 0)
    return Request(type_, version, field, offset, max_fragment, len(datagram))


def first_word(datagram):
    """The leading u16 that tells request/response datagrams from searches; None if short."""
    if len(datagram) < 2:
        return None
    return struct.unpack_from(">H", datagram, 0)[0]


def match_command(field, commands):
    """Finds which of `commands` the command field names.

    A command whose text ends in ':' takes parameter bytes right after the text, so it matches
    as a prefix; any other command must be followed by its zero byte (or fill the field), which
    keeps "GET USB_DEVICE_LIST" from answering "GET USB_DEVICE_LIST_EX".  The longest match wins.
    Returns (command, parameter bytes) or (None, b"").
    """
    best = None
    for command in commands:
        raw = command.encode("latin-1")
        if not field.startswith(raw):
            continue
        if not command.endswith(":") and len(field) > len(raw) and field[len(raw)] != 0:
            continue
        if best is None or len(raw) > len(best.encode("latin-1")):
            best = command
    if best is None:
        return None, b""
    return best, field[len(best.encode("latin-1")):]


def fragment_size(max_fragment):
    """The server never sends more than 512 data bytes, nor more than the client accepts."""
    if max_fragment <= 0:
        return MAX_FRAGMENT
    return min(max_fragment, MAX_FRAGMENT)


def fragment_at(data, offset, max_fragment):
    """The piece of `data` that starts at `offset`: (chunk, more)."""
    if offset >= len(data):
        return b"", 0
    chunk = data[offset:offset + fragment_size(max_fragment)]
    more = 1 if offset + len(chunk) < len(data) else 0
    return chunk, more


def build_reply(type_, more, offset, data, length=None):
    """A reply datagram; `length` overrides the length field (for malformed replies)."""
    if length is None:
        length = len(data)
    return _REPLY.pack(type_ & 0xFFFF, more & 0xFFFF, offset & 0xFFFF, length & 0xFFFF) + data


def parse_reply(datagram):
    """(type, more, offset, length, data) of a reply, or None when shorter than a header."""
    if len(datagram) < REPLY_HEADER_SIZE:
        return None
    type_, more, offset, length = _REPLY.unpack_from(datagram, 0)
    return type_, more, offset, length, datagram[REPLY_HEADER_SIZE:]


def build_request(type_, command=b"", params=b"", offset=0, max_fragment=MAX_FRAGMENT,
                  size=None, version=1):
    """A request as the client library builds it (used by the simulator's own tests)."""
    if isinstance(command, str):
        command = command.encode("latin-1")
    body = command + params
    if len(body) > COMMAND_FIELD_SIZE:
        raise ValueError("command and parameters exceed the command field")
    datagram = _REQ.pack(type_, version, body.ljust(COMMAND_FIELD_SIZE, b"\0"), offset,
                         max_fragment)
    if size is None:
        size = REQUEST_FULL_SIZE if type_ == TYPE_REQUEST else REQUEST_HEADER_SIZE
    return datagram.ljust(size, b"\0")
