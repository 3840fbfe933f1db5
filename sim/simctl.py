"""Test-side control of the device-server simulator.

    with Simulator(["10.77.0.2"], netns=os.environ["QZ_LAN_NS"]) as sim:
        sim.set_reply("10.77.0.2", "GET USB_DEVICE_LIST", data)
        sim.identity("10.77.0.2", model="QZ-7000", host="LAB-1")   # with discovery=True
        sim.fault("10.77.0.2", "drop", offset=512)
        ... run the client ...
        for e in sim.requests("10.77.0.2"): ...

The simulator runs as a child process (inside the given network namespace) and is driven over
its standard input and output, so a test can change a server at any time while the client runs.
"""

import json
import os
import selectors
import socket
import struct
import subprocess
import sys
import time

SIM_DIR = os.path.dirname(os.path.abspath(__file__))
DEVSERVER = os.path.join(SIM_DIR, "devserver.py")
if SIM_DIR not in sys.path:
    sys.path.insert(0, SIM_DIR)
PYTHON = "/usr/bin/python3"


class SimError(Exception):
    pass


def exchange(address, port, command, params=b"", timeout=1.0):
    """Runs one whole request/response exchange with a server as the client library does
    (request, next fragments, end); returns the reply bytes, or None when it stays silent."""
    import rwp
    data = b""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sock:
        sock.settimeout(timeout)
        sock.sendto(rwp.build_request(rwp.TYPE_REQUEST, command, params), (address, port))
        while True:
            try:
                reply = rwp.parse_reply(sock.recv(65536))
            except socket.timeout:
                return None
            data += reply[4]
            if not reply[1]:
                break
            sock.sendto(rwp.build_request(rwp.TYPE_NEXT, offset=len(data)), (address, port))
        sock.sendto(rwp.build_request(rwp.TYPE_END, offset=len(data)), (address, port))
        sock.recv(65536)
    return data


def command_data(server_address, address, port_name, protocol_port=None, flags=0, mac=None):
    """The data of a connect or disconnect command: the 12-byte fixed part (hardware address by
    default the simulator's for `server_address`), the port name and, with `protocol_port`,
    the connect parameters of level 2 and above."""
    import discovery
    mac = mac or discovery.default_mac(server_address)
    data = (b"\x01\x06" + bytes.fromhex(mac.replace(":", "")) + socket.inet_aton(address)
            + port_name.encode("latin-1") + b"\0")
    if protocol_port is not None:
        data += struct.pack(">HB", protocol_port, flags)
        if flags & 0x2:
            data += struct.pack(">H", 49235)
    return data


def safe_remove_data(server_address, name, mac=None, address=bytes(4)):
    """The data of a safe-removal command as the client library sends it: the 12-byte fixed
    part (hardware address by default the simulator's for `server_address`, address 0) and the
    storage name with its zero."""
    import discovery
    mac = mac or discovery.default_mac(server_address)
    return (b"\x01\x06" + bytes.fromhex(mac.replace(":", "")) + bytes(address)
            + name.encode("latin-1") + b"\0")


class BusBridge:
    """zkuptp_bridge.exe under Wine, steering a bus of its own ("zkuptp_<bus_tag>", which the
    library under test is registered with) or, without a tag, the main bus:

        bridge = BusBridge(paths.wine_run, os.path.join(paths.bin, "zkuptp_bridge.exe"),
                           "10.77.0.1", bus_tag=4711)
        sim.set_bridge(*bridge.address)
        bridge.ask("pnp 10.77.0.2 1-1 vetoes 1")
    """

    def __init__(self, wine_run, bridge_exe, bind="127.0.0.1", bus_tag=None, seconds=300):
        argv = [wine_run, bridge_exe, "--bind", bind, "--port", "0", "--seconds", str(seconds)]
        if bus_tag:
            argv += ["--new-bus", str(bus_tag)]
        self.bus = "zkuptp_%d" % bus_tag if bus_tag else "zkuptp"
        self.proc = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE)
        first = self.proc.stdout.readline().decode().split()
        if len(first) != 2 or first[0] != "ready":
            self.proc.kill()
            self.proc.wait()
            raise SimError("bridge did not start: %r %s" % (first, self.proc.stderr.read()))
        self.address = (bind, int(first[1]))
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.settimeout(10)

    def ask(self, text):
        self.sock.sendto(text.encode(), self.address)
        reply, _ = self.sock.recvfrom(65536)
        return reply.decode()

    def ports(self):
        """{(server, location): {"state": .., "attached": .., "id": .., ...}} of the bus."""
        lines = self.ask("ports").split("\n")
        if lines[0] != "OK %d" % (len(lines) - 1):
            raise SimError("bridge: %r" % lines[0])
        return {tuple(line.split()[:2]): dict(f.split("=", 1) for f in line.split()[2:])
                for line in lines[1:]}

    def tree(self, server, location):
        """The device-tree nodes written for a port, parents first:
        [(instance id, service or "-", printer port or "-")]."""
        lines = self.ask("pnp %s %s show" % (server, location)).split("\n")
        if lines[0] != "OK %d" % (len(lines) - 1):
            raise SimError("bridge: %r" % lines[0])
        nodes = []
        for line in lines[1:]:
            words = line.split(" desc=")[0].split()
            fields = dict(f.split("=", 1) for f in words[1:])
            nodes.append((words[0], fields["service"], fields["port"]))
        return nodes

    def close(self):
        if self.proc.poll() is None:
            try:
                self.ask("quit")
            except OSError:
                pass
        try:
            self.proc.wait(timeout=15)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        self.sock.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class Simulator:
    def __init__(self, addresses, netns=None, rwp_port=None, system_port=None, log_path=None,
                 max_seconds=900, discovery=False, search_port=None, keepalive=False):
        self.addresses = list(addresses)
        self.netns = netns
        self.rwp_port = rwp_port
        self.system_port = system_port
        self.discovery = discovery or search_port is not None
        self.search_port = search_port
        self.log_path = log_path
        self.keepalive = keepalive
        self.max_seconds = max_seconds
        self.proc = None
        self.ready = None
        self._buffer = b""
        self._next_id = 0

    # Process.
    def start(self, timeout=10.0):
        argv = [PYTHON, DEVSERVER, "--max-seconds", str(self.max_seconds)]
        if self.rwp_port is not None:
            argv += ["--rwp-port", str(self.rwp_port)]
        if self.system_port is not None:
            argv += ["--system-port", str(self.system_port)]
        if self.search_port is not None:
            argv += ["--search-port", str(self.search_port)]
        elif self.discovery:
            argv.append("--discovery")
        if self.keepalive:
            argv.append("--keepalive")
        if self.log_path:
            argv += ["--log", self.log_path]
        argv += self.addresses
        if self.netns:
            argv = ["ip", "netns", "exec", self.netns] + argv
        self.proc = subprocess.Popen(argv, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.ready = json.loads(self._readline(timeout))
        if not self.ready.get("ready"):
            self.stop()
            raise SimError("simulator did not start: %s" % self.ready.get("error"))
        return self

    def stop(self):
        if self.proc is None:
            return
        try:
            self.proc.stdin.close()  # end of input ends the simulator
            self.proc.wait(timeout=5)
        except (OSError, subprocess.TimeoutExpired):
            self.proc.kill()
            self.proc.wait()
        self.proc.stdout.close()
        self.proc = None

    def __enter__(self):
        return self.start() if self.proc is None else self

    def __exit__(self, *exc):
        self.stop()

    # Control stream.
    def call(self, cmd, timeout=10.0, **args):
        self._next_id += 1
        request = dict(args, cmd=cmd, id=self._next_id)
        self.proc.stdin.write((json.dumps(request) + "\n").encode())
        self.proc.stdin.flush()
        answer = json.loads(self._readline(timeout))
        if answer.get("id") != self._next_id:
            raise SimError("answer out of order: %r" % answer)
        if not answer.get("ok"):
            raise SimError(answer.get("error", "failed"))
        return answer

    def _readline(self, timeout):
        deadline = time.monotonic() + timeout
        fd = self.proc.stdout.fileno()
        with selectors.DefaultSelector() as sel:
            sel.register(fd, selectors.EVENT_READ)
            while b"\n" not in self._buffer:
                left = deadline - time.monotonic()
                if left <= 0 or not sel.select(left):
                    raise SimError("no answer from the simulator within %.1f s" % timeout)
                chunk = os.read(fd, 65536)
                if not chunk:
                    raise SimError("simulator ended (exit %s)" % self.proc.poll())
                self._buffer += chunk
        line, self._buffer = self._buffer.split(b"\n", 1)
        return line.decode()

    # Servers and their behaviour.
    def servers(self):
        return {s["address"]: s for s in self.call("servers")["servers"]}

    def ports(self, server):
        """(request/response port, system port) of a server, as bound."""
        info = self.servers()[server]
        return info["rwp_port"], info["system_port"]

    def add_server(self, address, rwp_port=None, system_port=None):
        return self.call("add_server", address=address, rwp_port=rwp_port,
                         system_port=system_port)["server"]

    def identity(self, server="*", **fields):
        """Sets search-reply fields (discovery.Identity); returns {address: identity}."""
        return self.call("identity", server=server, fields=fields)["identities"]

    def silent(self, server, on=True):
        """A silent server hears searches but does not answer them."""
        self.identity(server, answer=not on)

    def move_server(self, server, address):
        """The server leaves its address for another; its identity and replies go along."""
        return self.call("move_server", server=server, address=address)["server"]

    def searches(self, since=0):
        """Every search the simulator received, with "dst" (where it was sent) and "peer"."""
        return [e for e in self.log(since=since)
                if e["dir"] == "in" and e.get("proto") == "search"]

    def search_replies(self, since=0, server=None):
        return [e for e in self.log(server, since)
                if e["dir"] == "out" and e.get("proto") == "search_reply"]

    def set_reply(self, server, command, data):
        """bytes or str: the reply; None: the server never answers this command."""
        if isinstance(data, (bytes, bytearray)):
            self.call("set_reply", server=server, command=command, hex=bytes(data).hex())
        else:
            self.call("set_reply", server=server, command=command, text=data)

    def fault(self, server, kind, **options):
        """See server.Fault: kind plus count/type/offset/command/port/follow/size/extra/..."""
        self.call("fault", server=server, kind=kind, **options)

    def clear_faults(self, server="*"):
        self.call("clear_faults", server=server)

    def keepalive_answer(self, server="*", data=None, echo=False):
        """Makes servers answer keep-alive datagrams with `data` (bytes), or echo them."""
        self.call("keepalive_answer", server=server, echo=echo,
                  hex=bytes(data).hex() if data is not None else None)

    def keepalives(self, server=None, since=0):
        """Every keep-alive datagram the server(s) received, decoded (keepalive.py)."""
        return [e for e in self.log(server, since)
                if e["dir"] == "in" and e.get("proto") == "keepalive"]

    # USB devices (usb_devices.py).
    def plug(self, server, **fields):
        """Plugs a device; returns its id (the location unless "id" is given)."""
        return self.call("plug", server=server, device=fields)["device_id"]

    def unplug(self, server, device_id):
        self.call("unplug", server=server, device_id=device_id)

    def update_device(self, server, device_id, **fields):
        return self.call("update_device", server=server, device_id=device_id, fields=fields)["device"]

    def give_device(self, server, device_id, address=None, name=None):
        """Hands the device to the PC at `address` (None: frees it)."""
        self.call("give_device", server=server, device_id=device_id, address=address, name=name)

    def usb_devices(self, server):
        return self.call("usb_devices", server=server)["devices"]

    def usb_reply(self, server, command):
        return bytes.fromhex(self.call("usb_reply", server=server, command=command)["hex"])

    # Connecting and disconnecting (connect.py) and the bus driver behind the bridge.
    def command_answer(self, server="*", connect=None, disconnect=None):
        """How good commands are answered: "ok" (default), "ng", "deny" or "silence"."""
        self.call("command_answer", server=server, connect=connect, disconnect=disconnect)

    # Network storage (storage.py).
    def add_storage(self, server, name, text="", vid=0x0A5C, pid=0x0001, shares=(), **fields):
        """Adds a storage with its shares: dicts of label, name, value1, value2, mounted
        (default True), shared; fields: answer ("ok", "ng", "silence"), unmount ("delay",
        "never") and unmount_delay (seconds), None taking the server's."""
        storage = dict(fields, name=name, text=text, vid=vid, pid=pid, shares=list(shares))
        return self.call("add_storage", server=server, storage=storage)["storage"]

    def update_storage(self, server, name, **fields):
        """Changes fields of a storage ("shares" replaces the whole list); returns it."""
        return self.call("update_storage", server=server, name=name, fields=fields)["storage"]

    def update_share(self, server, name, index, **fields):
        """Changes fields of share `index` of storage `name` (e.g. mounted=False)."""
        return self.call("update_share", server=server, name=name, index=index,
                         fields=fields)["storage"]

    def remove_storage(self, server, name):
        self.call("remove_storage", server=server, name=name)

    def storages(self, server):
        """The server's storages with their shares (as they are now: an unmount shows)."""
        return self.call("storages", server=server)["storages"]

    def storage_reply(self, server):
        """The bytes "GET STORAGE_LIST" is answered with now."""
        return bytes.fromhex(self.call("storage_reply", server=server)["hex"])

    def storage_fault(self, server="*", raw=None, count=None, cut=None, append=None):
        """Bends the storage-list reply: `raw` bytes instead, the count byte set to `count`,
        cut to its first `cut` bytes, `append` bytes added; no argument clears the fault."""
        self.call("storage_fault", server=server, count=count, cut=cut,
                  raw=None if raw is None else bytes(raw).hex(),
                  append=None if append is None else bytes(append).hex())

    def storage_answer(self, server="*", answer=None, unmount=None, unmount_delay=None):
        """How good safe removals are answered ("ok" default, "ng", "silence") and whether the
        shares then unmount after `unmount_delay` seconds (default 1; unmount="never")."""
        self.call("storage_answer", server=server, answer=answer, unmount=unmount,
                  unmount_delay=unmount_delay)

    def safe_removes(self, server=None, since=0, repeats=False):
        """Every safe-removal command received, checked: storage, data (hex of the fixed part
        and the name through its zero), mac, address, fixed_ok, errors, ok, answer ("OK", "NG"
        or None)."""
        return self.commands(server, since, kind="safe_remove", repeats=repeats)

    def wait_unmounted(self, server, name, timeout=10.0, since=0):
        """Waits until the shares of storage `name` were unmounted; returns that log entry."""
        def done(e):
            return e.get("proto") == "storage" and e.get("storage") == name
        entries = self.wait_log(done, timeout, server, since)
        return [e for e in entries if done(e)][0]

    def set_bridge(self, address, port, pc=None):
        """Tells the simulator where zkuptp_bridge.exe listens (the PC side, e.g. 10.77.0.1);
        with `pc`, the bridge that the commands of that PC address reach."""
        self.call("bridge", address=address, port=port, pc=pc)

    def bridge_ask(self, text, timeout=5.0):
        """One command to the bridge ("pnp 10.77.0.2 1-1 vetoes 1", "ports", ...): its answer."""
        return self.call("bridge_ask", timeout=timeout + 5.0, text=text, wait=timeout)["answer"]

    def commands(self, server=None, since=0, kind=None, repeats=False):
        """Every connect / disconnect command received, checked: command ("connect" or
        "disconnect"), port_name, address, fixed_ok, params, errors, ok, answer ("OK", "NG",
        "DENY" or None), device. A request the client repeated (same socket, same data: it
        missed the answer) is answered alike and listed only with repeats=True ("repeat").
        kind="safe_remove" lists the safe removals instead (see safe_removes)."""
        kinds = ("connect", "disconnect") if kind is None else (kind,)
        return [e for e in self.log(server, since) if e.get("proto") == "command"
                and e["command"] in kinds and (repeats or not e.get("repeat"))]

    def bridge_traffic(self, since=0):
        """The commands sent to the bridge ("dir": "out", "text") and its answers ("in")."""
        return [e for e in self.log(since=since) if e.get("proto") == "bridge"]

    def bridge_exchanges(self, since=0):
        """The commands sent to the bridge, each with its "answer" once it came (the bridge
        answers in order)."""
        sent, answers = [], []
        for e in self.bridge_traffic(since):
            if e["dir"] == "out" and "note" not in e and "error" not in e:
                sent.append(dict(e))
            elif e["dir"] == "in":
                answers.append(e["text"])
        for e, answer in zip(sent, answers):
            e["answer"] = answer
        return sent

    def wait_bridge(self, prefix, timeout=10.0, since=0):
        """Waits until the bridge answered a command that begins with `prefix` ("attach
        10.77.0.2 1-1"); returns that command's log entry (sent) with its answer in "answer"."""
        deadline = time.monotonic() + timeout
        while True:
            for e in self.bridge_exchanges(since):
                if e["text"].startswith(prefix) and "answer" in e:
                    return e
            if time.monotonic() >= deadline:
                raise SimError("the bridge did not answer %r within %.1f s" % (prefix, timeout))
            time.sleep(0.05)

    # Log.
    def log(self, server=None, since=0):
        return self.call("log", server=server, since=since)["entries"]

    def mark(self):
        """The log position now: pass it as `since` to see only what happens after."""
        return self.call("log", since=1 << 62)["next"]

    def clear_log(self):
        self.call("clear_log")

    def requests(self, server=None, since=0, port=None):
        """(type, offset) of each request/response datagram the server(s) received."""
        return [(e["type"], e["offset"]) for e in self.log(server, since)
                if e["dir"] == "in" and e.get("proto") == "rwp" and "type" in e
                and (port is None or e["port"] == port)]

    def wait_log(self, predicate, timeout=10.0, server=None, since=0):
        """Waits until some log entry satisfies `predicate`; returns the entries so far."""
        deadline = time.monotonic() + timeout
        while True:
            entries = self.log(server, since)
            if any(predicate(e) for e in entries):
                return entries
            if time.monotonic() >= deadline:
                raise SimError("log condition not met within %.1f s" % timeout)
            time.sleep(0.05)
