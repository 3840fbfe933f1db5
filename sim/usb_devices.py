"""The USB devices plugged into a simulated server, and its answers to the device-list commands.

Each command answers in its own form, byte for byte:

    "GET USB_DEVICE_LIST"        plain
    "GET USB_DEVICE_LIST_EX"     a reserved u16 after the flags, a 64-byte serial
    "GET USB_DEVICE_LIST_EX_II"  also a u16 interface subclass, an 80-byte serial

The record is a u8 entry count followed by one entry per interface:
port name (zero-ended), device name (zero-ended, optionally with CR LF before the zero), user
address (4 bytes, network order, 0 = free), status flags (u16 little-endian), [EX, EX_II:
reserved u16], vendor id, product id (u16 big-endian), location (16 bytes, zero-padded),
interface class (u16 big-endian), [EX_II: subclass u16 big-endian], [EX: 64-byte serial,
EX_II: 80-byte serial, zero-ended and zero-padded], 4 reserved bytes.

A device with several interfaces is sent as one entry per interface; the interfaces share the
device's ids and their locations are the device's location with "M1", "M2", ... appended,
which is how a client folds them back into one device.  A server answers only the commands of
its protocol level (from the version of its search identity; 4 without one): level 3 adds
"_EX", level 4 "_EX_II".
"""

import re
import socket
import struct

import connect

LIST = "GET USB_DEVICE_LIST"
LIST_EX = "GET USB_DEVICE_LIST_EX"
LIST_EX_II = "GET USB_DEVICE_LIST_EX_II"
FORMS = {LIST: "plain", LIST_EX: "ex", LIST_EX_II: "exii"}
MIN_LEVEL = {LIST: 1, LIST_EX: 3, LIST_EX_II: 4}

FLAG_ISOEP = 0x0004
FLAG_ENCRYPTION = 0x0010
FLAG_ENCRYPTED = 0x0020
FLAG_PERMISSION = 0x0040
FLAG_PRESENT = 0x0100

LOCATION_SIZE = 16
SERIAL_SIZE = {"ex": 64, "exii": 80}
MAX_ENTRIES = 255


class UsbDevice:
    """One device. Fields (all optional when plugging):

    id (defaults to the location), name, port, vid, pid, location, interfaces (a list of
    [class, subclass] pairs, or a count of interfaces of class 8 subclass 6), ports (one name
    per interface; default port, port.2, port.3 ...), serial, user (dotted address of the PC
    that uses it; None = free), user_name (that PC's name, for the test's own records),
    present (False: plugged but reported "No Device"), isoep, encryption, encrypted,
    permission (status flags), crlf (name sent with CR LF), reserved (u16 after the flags),
    tail (hex of the 4 closing bytes).
    Connecting (connect.py): dot4 (the printer is an IEEE 1284.4 one), attach ("normal",
    "never": the server answers OK but the driver never attaches, "slow": it attaches after
    attach_delay seconds), connect_answer / disconnect_answer ("ok", "ng", "deny", "silence";
    None: the server's answer).
    """

    DEFAULTS = {
        "name": "USB Disk", "port": "1", "vid": 0x0A5C, "pid": 0x0001, "location": "1-1",
        "interfaces": [[8, 6]], "ports": None, "serial": "SN0001", "user": None,
        "user_name": None, "present": True, "isoep": False, "encryption": False,
        "encrypted": False, "permission": False, "crlf": False, "reserved": 0,
        "tail": "00000000", "dot4": False, "attach": "normal", "attach_delay": 5.0,
        "connect_answer": None, "disconnect_answer": None,
    }

    def __init__(self, **fields):
        self.values = dict(self.DEFAULTS)
        self.held = set()  # ports connected by the user; empty with a user = all of them
        self.update(**fields)

    def update(self, **fields):
        unknown = set(fields) - set(self.DEFAULTS) - {"id"}
        if unknown:
            raise ValueError("unknown device fields: %s" % ", ".join(sorted(unknown)))
        merged = dict(self.values, **{k: v for k, v in fields.items() if k != "id"})
        if isinstance(merged["interfaces"], int):
            merged["interfaces"] = [[8, 6]] * merged["interfaces"]
        merged["interfaces"] = [list(map(int, pair)) for pair in merged["interfaces"]]
        _check(merged)
        if merged["user"] != self.values["user"]:
            self.held = set()
        self.values = merged

    def __getitem__(self, name):
        return self.values[name]

    def port_names(self):
        v = self.values
        if v["ports"] is not None:
            return list(v["ports"])
        return [v["port"] if i == 0 else "%s.%d" % (v["port"], i + 1)
                for i in range(len(v["interfaces"]))]

    def locations(self):
        return _locations_of(self.values)

    def flags(self):
        v = self.values
        flags = FLAG_ISOEP if v["isoep"] else 0
        if v["present"]:
            flags |= FLAG_PRESENT
        if v["encryption"]:
            flags |= FLAG_ENCRYPTION
        if v["encrypted"]:
            flags |= FLAG_ENCRYPTED
        if v["permission"]:
            flags |= FLAG_PERMISSION
        return flags

    def entries(self, form):
        """The device's entries (one per interface) in the reply form."""
        v = self.values
        user = socket.inet_aton(v["user"]) if v["user"] else bytes(4)
        name = v["name"].encode("latin-1") + (b"\r\n" if v["crlf"] else b"") + b"\0"
        out = []
        for port, location, (cls, sub) in zip(self.port_names(), self.locations(), v["interfaces"]):
            entry = bytearray(port.encode("latin-1") + b"\0" + name + user)
            entry += struct.pack("<H", self.flags())
            if form != "plain":
                entry += struct.pack(">H", v["reserved"] & 0xFFFF)
            entry += struct.pack(">HH", v["vid"] & 0xFFFF, v["pid"] & 0xFFFF)
            entry += _fixed(location, LOCATION_SIZE)
            entry += struct.pack(">H", cls & 0xFFFF)
            if form == "exii":
                entry += struct.pack(">H", sub & 0xFFFF)
            if form in SERIAL_SIZE:
                entry += _fixed(v["serial"] or "", SERIAL_SIZE[form])
            entry += bytes.fromhex(v["tail"])
            out.append(bytes(entry))
        return out

    def describe(self):
        info = dict(self.values)
        info["ports"] = self.port_names()
        info["locations"] = self.locations()
        info["held"] = sorted(self.held)
        return info


def _fixed(text, size):
    data = text.encode("latin-1")
    return data + bytes(size - len(data))


def _check(v):
    if not v["interfaces"]:
        raise ValueError("a device has at least one interface")
    if v["ports"] is not None and len(v["ports"]) != len(v["interfaces"]):
        raise ValueError("one port name per interface")
    longest = max(len(loc) for loc in _locations_of(v))
    if not v["location"] or longest > LOCATION_SIZE:
        raise ValueError("a location has 1..%d characters" % LOCATION_SIZE)
    if v["serial"] and len(v["serial"]) >= SERIAL_SIZE["ex"]:
        raise ValueError("a serial number has fewer than %d characters" % SERIAL_SIZE["ex"])
    if v["user"]:
        socket.inet_aton(v["user"])
    if v["attach"] not in connect.ATTACH_MODES:
        raise ValueError("attach is one of %s" % ", ".join(connect.ATTACH_MODES))
    for answer in (v["connect_answer"], v["disconnect_answer"]):
        if answer is not None and answer.lower() not in connect.ANSWERS:
            raise ValueError("an answer is one of %s" % ", ".join(connect.ANSWERS))
    float(v["attach_delay"])
    if len(bytes.fromhex(v["tail"])) != 4:
        raise ValueError("tail is 4 bytes")
    for text in [v["name"], v["port"]] + list(v["ports"] or []):
        if "\0" in text:
            raise ValueError("texts hold no zero byte")


def _locations_of(v):
    if len(v["interfaces"]) == 1:
        return [v["location"]]
    return ["%sM%d" % (v["location"], i + 1) for i in range(len(v["interfaces"]))]


class UsbBus:
    """The devices of one server, in plugging order."""

    def __init__(self, server):
        self.server = server
        self.devices = {}  # id -> UsbDevice

    def plug(self, fields):
        fields = dict(fields)
        device_id = str(fields.get("id") or fields.get("location") or UsbDevice.DEFAULTS["location"])
        if device_id in self.devices:
            raise ValueError("device %s is plugged" % device_id)
        device = UsbDevice(**fields)
        if self.entry_count(extra=device) > MAX_ENTRIES:
            raise ValueError("a reply holds at most %d entries" % MAX_ENTRIES)
        self.devices[device_id] = device
        return device_id

    def unplug(self, device_id):
        if self.devices.pop(str(device_id), None) is None:
            raise ValueError("no device %s" % device_id)

    def update(self, device_id, fields):
        device = self.devices.get(str(device_id))
        if device is None:
            raise ValueError("no device %s" % device_id)
        device.update(**fields)
        if self.entry_count() > MAX_ENTRIES:
            raise ValueError("a reply holds at most %d entries" % MAX_ENTRIES)

    def find_port(self, name):
        """(device id, device, interface index) of the port with this name, or None."""
        for device_id, device in self.devices.items():
            names = device.port_names()
            if name in names:
                return device_id, device, names.index(name)
        return None

    def entry_count(self, extra=None):
        devices = list(self.devices.values()) + ([extra] if extra else [])
        return sum(len(d["interfaces"]) for d in devices)

    def reply(self, command):
        form = FORMS[command]
        entries = [e for d in self.devices.values() for e in d.entries(form)]
        return bytes([len(entries)]) + b"".join(entries)

    def level(self):
        identity = self.server.state.get("identity")
        if identity is None:
            return 4
        match = re.search(r"(\d+)\.(\d+)", identity["version"])
        if not match or int(match.group(1)) != 2:
            return 4
        minor = int(match.group(2))
        return 1 if minor <= 1 else min(minor, 4)

    def describe(self):
        return [dict(d.describe(), id=i) for i, d in self.devices.items()]


def bus_of(server):
    """The server's bus; the first use makes the server answer the device-list commands."""
    bus = server.state.get("usb")
    if bus is None:
        bus = server.state["usb"] = UsbBus(server)
        for command in FORMS:
            server.set_handler(command, _handler(bus, command))
        connect.install(server)
    return bus


def _handler(bus, command):
    def answer(server, request, params):
        if bus.level() < MIN_LEVEL[command]:
            return None
        return bus.reply(command)
    return answer
