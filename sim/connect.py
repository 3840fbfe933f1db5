"""Connecting and disconnecting a server's USB ports: "EXEC SCANNER CONNECT:" and
"EXEC SCANNER DISCONNECT:", and the server's side of the bus driver (through the bridge).

Command data (the bytes after the command text in the 80-byte command field):

    u8 1, u8 6, the server's 6-byte hardware address, a 4-byte address (network order: for a
    connect the PC's own address, for a disconnect the device's user address),
    the port name (zero-ended, or up to the end of the data),
    connect at level 2 and above: after the name's zero a u16 protocol port, u8 flags
    (0x1 isochronous property, 0x2 keep-alive supported; with 0x2 a u16 49235 follows),
    level 4: optionally a u16 and a u32 more; everything after is zero padding.
    All numbers are big-endian.

Every command is checked and logged (proto "command"); a good command of a known port is
answered as scripted (server- or device-wide: "ok", "ng", "deny", "silence"; default ok), a bad
one NG. An OK connect makes the device used by the command's address and, a moment later, has
the bus driver attach the port (through zkuptp_bridge.exe, whose address the test gives with
the "bridge" control command); an OK disconnect has it detach the port, and frees the device
once every port it held is released. The first interface's attach carries the device's Plug
and Play profile (see pnp_profile), from which the bridge writes the device-tree nodes.
"""

import socket
import struct
import urllib.parse

import discovery

CONNECT = "EXEC SCANNER CONNECT:"
DISCONNECT = "EXEC SCANNER DISCONNECT:"
KIND = {CONNECT: "connect", DISCONNECT: "disconnect"}

FIXED_SIZE = 12
FLAG_ISOCH = 0x01
FLAG_KEEPALIVE = 0x02
KEEPALIVE_PORT = 49235
ANSWERS = {"ok": b"OK", "ng": b"NG", "deny": b"DENY", "silence": None}
ATTACH_MODES = ("normal", "never", "slow")
ATTACH_SOON = 0.2  # seconds from an OK answer to the driver's attach or detach

CLASS_PRINTER = 7
CLASS_STORAGE = 8
CLASS_HID = 3


def server_mac(server):
    identity = server.state.get("identity")
    text = identity["mac"] if identity is not None else discovery.default_mac(server.address)
    return bytes.fromhex(text.replace(":", "").replace("-", ""))


def parse_command(kind, data, level, mac):
    """Checks the command data of a connect or disconnect (pure: no server state).

    Returns a dict: fixed_ok, mac (hex), address (dotted), port_name, params (protocol_port,
    flags, keepalive_port, extension), errors (list of texts; empty when the data are sound).
    """
    out = {"fixed_ok": False, "mac": None, "address": None, "port_name": None, "params": {},
           "errors": []}
    errors = out["errors"]
    if not check_fixed(data, mac, out, zero_address=False):
        return out
    rest = data[FIXED_SIZE:]
    end = rest.find(b"\0")
    name, rest = (rest, b"") if end < 0 else (rest[:end], rest[end + 1:])
    out["port_name"] = name.decode("latin-1")
    if not name:
        errors.append("no port name")
    if kind == "connect" and level >= 2 and end >= 0:
        rest = _parse_connect_params(rest, level, out["params"], errors)
    elif kind == "connect" and level >= 2:
        errors.append("no protocol port after the port name")
    if rest.strip(b"\0"):
        errors.append("unexpected bytes %s after the parameters" % rest.rstrip(b"\0").hex())
    return out


def check_fixed(data, mac, out, zero_address):
    """Checks the 12-byte fixed part of a command's data: u8 1, u8 6, the server's hardware
    address, then a 4-byte address that must be 0 (zero_address) or must not.
    Fills out["mac"], out["address"], out["fixed_ok"] and appends to out["errors"]; returns
    False when the data are too short to hold it."""
    errors = out["errors"]
    if len(data) < FIXED_SIZE:
        errors.append("fixed part is %d bytes" % len(data))
        return False
    before = len(errors)
    out["mac"] = data[2:8].hex()
    out["address"] = socket.inet_ntoa(data[8:12])
    if data[0] != 1 or data[1] != 6:
        errors.append("fixed part begins %02x %02x" % (data[0], data[1]))
    if data[2:8] != mac:
        errors.append("hardware address %s is not the server's" % data[2:8].hex())
    if zero_address and data[8:12] != bytes(4):
        errors.append("address %s is not 0" % out["address"])
    elif not zero_address and data[8:12] == bytes(4):
        errors.append("address is 0")
    out["fixed_ok"] = len(errors) == before
    return True


class RepeatGuard:
    """The client sends each command from a socket of its own and repeats the request only
    when it heard no answer: a repeat gets the first answer and changes nothing again."""

    def __init__(self):
        self.last = {}  # peer -> (key, answer) of its last answered command

    def answer(self, peer, key, run, on_repeat):
        """`run()` computes a new command's answer; `on_repeat(answer)` logs a repeat."""
        last = self.last.get(peer)
        if last is not None and last[0] == key:
            on_repeat(last[1])
            return last[1]
        answer = run()
        if answer is not None:  # a silent server heard nothing: a repeat is a new command
            if len(self.last) > 1000:
                self.last.clear()
            self.last[peer] = (key, answer)
        return answer


def _parse_connect_params(rest, level, params, errors):
    if len(rest) < 3:
        errors.append("protocol port and flags missing")
        return b""
    port, flags = struct.unpack_from(">HB", rest, 0)
    params.update(protocol_port=port, flags=flags)
    rest = rest[3:]
    if port == 0:
        errors.append("protocol port is 0")
    if flags & ~(FLAG_ISOCH | FLAG_KEEPALIVE):
        errors.append("unknown flag bits 0x%02x" % flags)
    if flags & FLAG_KEEPALIVE:
        if len(rest) < 2:
            errors.append("keep-alive port missing")
            return b""
        params["keepalive_port"] = struct.unpack_from(">H", rest, 0)[0]
        rest = rest[2:]
        if params["keepalive_port"] != KEEPALIVE_PORT:
            errors.append("keep-alive port %d" % params["keepalive_port"])
    if level >= 4 and len(rest) >= 6 and rest[:6].strip(b"\0"):
        params["extension"] = list(struct.unpack_from(">HI", rest, 0))
        rest = rest[6:]
    return rest


def pnp_profile(device):
    """The words the first interface's attach carries: which device-tree nodes Windows would
    build for this device (the bridge writes them)."""
    classes = [cls for cls, _ in device["interfaces"]]
    words = []
    if len(classes) > 1:
        words += ["pnp=composite", "classes=" + ",".join(str(c) for c in classes)]
    elif classes[0] == CLASS_PRINTER:
        words.append("pnp=dot4" if device["dot4"] else "pnp=printer")
    elif classes[0] == CLASS_STORAGE:
        words.append("pnp=storage")
    elif classes[0] == CLASS_HID:
        words.append("pnp=hid")
    else:
        words.append("pnp=scan")
    if len(classes) > 1 and device["dot4"]:
        words.append("dot4=1")
    words.append("desc=" + urllib.parse.quote(printer_driver_name(device["name"]), safe=""))
    return words


def printer_driver_name(device_name):
    """The driver description the printer nodes of a device carry: the model name."""
    return " ".join(device_name.replace("\r", " ").replace("\n", " ").split()) or "USB Printer"


def bus_device_id(server_address, device, location):
    """A stable bus device instance id for one port of a device."""
    tail = "".join(c if c.isalnum() or c in "-_." else "_" for c in location)
    return "USB\\VID_%04X&PID_%04X\\QZ%08X_%s" % (
        device["vid"] & 0xFFFF, device["pid"] & 0xFFFF,
        struct.unpack(">I", socket.inet_aton(server_address))[0], tail)


class ConnectService:
    """The two commands of one server, installed by install(server)."""

    def __init__(self, server):
        self.server = server
        self.repeats = RepeatGuard()
        server.state.setdefault("answers", {"connect": "ok", "disconnect": "ok"})

    def handle(self, command, request, params, peer):
        return self.repeats.answer(
            peer, (command, params), lambda: self._handle(command, params, peer),
            lambda answer: log_repeat(self.server, KIND[command], peer, answer))

    def _handle(self, command, params, peer):
        kind = KIND[command]
        bus = self.server.state["usb"]
        checked = parse_command(kind, params, bus.level(), server_mac(self.server))
        errors = checked["errors"]
        found = bus.find_port(checked["port_name"]) if checked["port_name"] else None
        if checked["port_name"] and found is None:
            errors.append("unknown port %r" % checked["port_name"])
        answer = "ng"
        if kind == "connect" and checked["fixed_ok"] and checked["address"] != peer[0]:
            errors.append("address %s is not the sender's %s" % (checked["address"], peer[0]))
        if not errors:
            device_id, device, index = found
            answer = (device[kind + "_answer"] or self.server.state["answers"][kind]).lower()
            if answer == "ok":
                refusal = self._apply(kind, device_id, device, index, checked["address"])
                if refusal:
                    errors.append(refusal)
                    answer = "ng"
        self.server.host.log.add(
            server=self.server.address, dir="event", proto="command", command=kind,
            peer="%s:%d" % peer, port_name=checked["port_name"], address=checked["address"],
            fixed_ok=checked["fixed_ok"], params=checked["params"], errors=errors,
            ok=not errors, answer=ANSWERS[answer].decode() if ANSWERS[answer] else None,
            device=found[0] if found else None)
        return ANSWERS[answer]

    def _apply(self, kind, device_id, device, index, address):
        """Changes the device's state for an OK answer; returns why it cannot (NG) or None."""
        ports = device.port_names()
        port = ports[index]
        user = device["user"]
        held = device.held if device.held or not user else set(ports)
        if kind == "connect":
            if user and user != address:
                return "device is used by %s" % user
            device.values["user"] = address
            device.held = held | {port}
            mode = device["attach"]
            if mode != "never":
                delay = device["attach_delay"] if mode == "slow" else ATTACH_SOON
                self.server.call_later(delay, lambda: self._attach(device, index, address))
            return None
        if user != address:
            return "device is %s" % ("used by %s" % user if user else "free")
        if port not in held:
            return "port %s is not connected" % port
        device.held = held - {port}
        if not device.held:
            device.values["user"] = None
            device.values["user_name"] = None
        location = device.locations()[index]
        self.server.call_later(ATTACH_SOON, lambda: self.server.host.bridge.send(
            self.server, "detach %s %s" % (self.server.address, location), pc=address))
        return None

    def _attach(self, device, index, pc=None):
        location = device.locations()[index]
        words = ["attach", self.server.address, location,
                 bus_device_id(self.server.address, device, location)]
        if index == 0:
            words += pnp_profile(device)
        self.server.host.bridge.send(self.server, " ".join(words), pc=pc)


def log_repeat(server, kind, peer, answer):
    server.host.log.add(server=server.address, dir="event", proto="command", command=kind,
                        peer="%s:%d" % peer, repeat=True,
                        answer=answer.decode() if answer else None)


def install(server):
    """Makes a server answer both commands (done when its bus is first used)."""
    service = ConnectService(server)
    for command in KIND:
        def handler(srv, request, params, peer, command=command):
            return service.handle(command, request, params, peer)
        handler.wants_peer = True
        server.set_handler(command, handler)


class BridgeLink:
    """The simulator's socket toward zkuptp_bridge.exe: one text command per datagram, the
    bridge's answers logged as they come (proto "bridge")."""

    def __init__(self, host):
        self.host = host
        self.address = None  # (ip, port) of the bridge; None: commands are only logged
        self.sock = None
        self.pc_bridges = {}  # PC address -> (ip, port): a PC with a bus driver of its own

    def connect(self, ip, port, pc=None):
        socket.inet_aton(ip)
        if self.sock is None:
            self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
            self.sock.setblocking(False)
            self.host.selector.register(self.sock, 1, self.read)  # 1: selectors.EVENT_READ
        if pc:
            self.pc_bridges[pc] = (ip, int(port))
        else:
            self.address = (ip, int(port))

    def send(self, server, text, pc=None):
        """To the bridge of the PC that gave the command, or else to the default one."""
        fields = {"server": server.address if server else None, "dir": "out",
                  "proto": "bridge", "text": text}
        target = self.pc_bridges.get(pc, self.address)
        if pc in self.pc_bridges:
            fields["pc"] = pc
        if target is None:
            fields["note"] = "no bridge"
        else:
            try:
                self.sock.sendto(text.encode("latin-1"), target)
            except OSError as exc:
                fields["error"] = str(exc)
        self.host.log.add(**fields)

    def read(self):
        while True:
            try:
                data, peer = self.sock.recvfrom(65536)
            except (BlockingIOError, InterruptedError):
                return
            except OSError as exc:
                self.host.log.add(server=None, dir="event", proto="bridge", note=str(exc))
                return
            self.host.log.add(server=None, dir="in", proto="bridge",
                              peer="%s:%d" % peer, text=data.decode("latin-1"))

    def ask(self, text, timeout=5.0):
        """Sends one command from a socket of its own and waits for the answer (tests)."""
        if self.address is None:
            raise ValueError("no bridge address given")
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sock:
            sock.settimeout(timeout)
            sock.sendto(text.encode("latin-1"), self.address)
            return sock.recvfrom(65536)[0].decode("latin-1")
