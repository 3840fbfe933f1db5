"""The simulator's control commands: one JSON object per line in, one per line out.

Each command is a function registered with @command(name); it gets the host and the request
object and returns a dict that is merged into {"ok": true}.  Raising ControlError (or a
ValueError/KeyError from bad arguments) answers {"ok": false, "error": text}.  Later services
add their own commands by registering more functions here.
"""

import json

import connect
import storage
import usb_devices
from server import Fault

COMMANDS = {}


class ControlError(Exception):
    pass


def command(name):
    def register(fn):
        COMMANDS[name] = fn
        return fn
    return register


def handle_line(host, line):
    """Runs one control line; returns the answer line (without newline)."""
    request = None
    try:
        request = json.loads(line)
        if not isinstance(request, dict):
            raise ControlError("a control line is a JSON object")
        fn = COMMANDS.get(request.get("cmd"))
        if fn is None:
            raise ControlError("unknown command %r" % request.get("cmd"))
        answer = {"ok": True}
        answer.update(fn(host, request) or {})
    except (ControlError, ValueError, KeyError, TypeError) as exc:
        answer = {"ok": False, "error": "%s: %s" % (type(exc).__name__, exc)}
    if isinstance(request, dict) and "id" in request:
        answer["id"] = request["id"]
    return json.dumps(answer)


def servers_of(host, request):
    """The servers a command names: "server" is an address, or "*" / absent for all."""
    name = request.get("server", "*")
    if name == "*":
        return list(host.servers.values())
    if name not in host.servers:
        raise ControlError("no server %r" % name)
    return [host.servers[name]]


def reply_data(request):
    """Reply bytes from "hex" or "text"; neither (or null) means the server stays silent."""
    if request.get("hex") is not None:
        return bytes.fromhex(request["hex"])
    if request.get("text") is not None:
        return request["text"].encode("latin-1")
    return None


@command("ping")
def _ping(host, request):
    return {}


@command("servers")
def _servers(host, request):
    return {"servers": [s.describe() for s in host.servers.values()]}


@command("add_server")
def _add_server(host, request):
    server = host.add_server(request["address"], request.get("rwp_port"),
                             request.get("system_port"))
    if request.get("identity"):
        _identity_of(server).update(**request["identity"])
        _offer_storage(server)
    return {"server": server.describe()}


def _offer_storage(server):
    if server.state["identity"]["storage"]:
        storage.offer(server)


def _identity_of(server):
    identity = server.state.get("identity")
    if identity is None:
        raise ControlError("server %s does not take part in discovery" % server.address)
    return identity


@command("identity")
def _identity(host, request):
    """Sets search-reply fields of a server (or all): {"fields": {...}} (see discovery.py)."""
    for server in servers_of(host, request):
        _identity_of(server).update(**request.get("fields", {}))
        _offer_storage(server)
    return {"identities": {s.address: _identity_of(s).describe()
                           for s in servers_of(host, request)}}


@command("move_server")
def _move_server(host, request):
    if request.get("server") not in host.servers:
        raise ControlError("no server %r" % request.get("server"))
    server = host.move_server(request["server"], request["address"])
    return {"server": server.describe()}


@command("set_reply")
def _set_reply(host, request):
    data = reply_data(request)
    for server in servers_of(host, request):
        server.set_reply(request["command"], data)
    return {}


@command("fault")
def _fault(host, request):
    options = {k: v for k, v in request.items() if k not in ("cmd", "server", "kind", "id")}
    for server in servers_of(host, request):
        server.add_fault(Fault(request["kind"], **options))
    return {}


@command("clear_faults")
def _clear_faults(host, request):
    for server in servers_of(host, request):
        server.clear_faults()
    return {}


@command("keepalive_answer")
def _keepalive_answer(host, request):
    """What a server answers to a keep-alive datagram: "hex", "echo": true, or neither (no
    answer, the default)."""
    answer = "echo" if request.get("echo") else request.get("hex")
    if answer not in (None, "echo"):
        bytes.fromhex(answer)  # refuse what could not be sent
    for server in servers_of(host, request):
        server.state["keepalive_answer"] = answer
    return {}


def _one_server(host, request):
    servers = servers_of(host, request)
    if len(servers) != 1:
        raise ControlError("name one server")
    return servers[0]


@command("plug")
def _plug(host, request):
    """Plugs a device into a server: {"device": {fields of usb_devices.UsbDevice}}."""
    bus = usb_devices.bus_of(_one_server(host, request))
    return {"device_id": bus.plug(request.get("device", {}))}


@command("unplug")
def _unplug(host, request):
    usb_devices.bus_of(_one_server(host, request)).unplug(request["device_id"])
    return {}


@command("update_device")
def _update_device(host, request):
    """Changes fields of a plugged device (rename, interfaces, flags ...): {"device_id", "fields"}."""
    bus = usb_devices.bus_of(_one_server(host, request))
    bus.update(request["device_id"], request.get("fields", {}))
    return {"device": bus.devices[str(request["device_id"])].describe()}


@command("give_device")
def _give_device(host, request):
    """Hands a device to a PC: {"device_id", "address", "name"}; no address frees it."""
    bus = usb_devices.bus_of(_one_server(host, request))
    bus.update(request["device_id"], {"user": request.get("address"), "user_name": request.get("name")})
    return {}


@command("usb_devices")
def _usb_devices(host, request):
    bus = usb_devices.bus_of(_one_server(host, request))
    return {"devices": bus.describe(), "level": bus.level()}


@command("usb_reply")
def _usb_reply(host, request):
    """The bytes a device-list command would be answered with now (hex)."""
    bus = usb_devices.bus_of(_one_server(host, request))
    if request["command"] not in usb_devices.FORMS:
        raise ControlError("not a device-list command: %r" % request["command"])
    return {"hex": bus.reply(request["command"]).hex()}


@command("command_answer")
def _command_answer(host, request):
    """How servers answer good connect / disconnect commands: {"connect": "ok"|"ng"|"deny"|
    "silence", "disconnect": ...}; a device's own connect_answer / disconnect_answer wins."""
    for kind in ("connect", "disconnect"):
        if request.get(kind) is not None and request[kind].lower() not in connect.ANSWERS:
            raise ControlError("an answer is one of %s" % ", ".join(connect.ANSWERS))
    for server in servers_of(host, request):
        usb_devices.bus_of(server)  # the commands and their default answers
        for kind in ("connect", "disconnect"):
            if request.get(kind) is not None:
                server.state["answers"][kind] = request[kind].lower()
    return {}


@command("add_storage")
def _add_storage(host, request):
    """Adds a storage to a server: {"storage": {fields of storage.Storage, "shares": [...]}}."""
    added = storage.storage_of(_one_server(host, request)).add(request.get("storage", {}))
    return {"storage": added.describe()}


@command("update_storage")
def _update_storage(host, request):
    """Changes fields of a storage (a "shares" list replaces all): {"name", "fields"}."""
    storages = storage.storage_of(_one_server(host, request))
    return {"storage": storages.update(request["name"], request.get("fields", {})).describe()}


@command("update_share")
def _update_share(host, request):
    """Changes fields of one share: {"name" (the storage's), "index", "fields"}."""
    storages = storage.storage_of(_one_server(host, request))
    changed = storages.update_share(request["name"], int(request["index"]),
                                    request.get("fields", {}))
    return {"storage": changed.describe()}


@command("remove_storage")
def _remove_storage(host, request):
    storage.storage_of(_one_server(host, request)).remove(request["name"])
    return {}


@command("storages")
def _storages(host, request):
    return storage.storage_of(_one_server(host, request)).describe()


@command("storage_reply")
def _storage_reply(host, request):
    """The bytes "GET STORAGE_LIST" would be answered with now (hex, fault applied)."""
    return {"hex": storage.storage_of(_one_server(host, request)).reply().hex()}


@command("storage_fault")
def _storage_fault(host, request):
    """Bends servers' storage-list replies: {"raw", "count", "cut", "append"}; none clears."""
    for server in servers_of(host, request):
        storage.storage_of(server).set_fault(request)
    return {}


@command("storage_answer")
def _storage_answer(host, request):
    """How servers treat good safe removals: {"answer": "ok"|"ng"|"silence", "unmount":
    "delay"|"never", "unmount_delay": seconds}; a storage's own fields win."""
    for server in servers_of(host, request):
        storage.storage_of(server).set_policy(
            {k: request.get(k) for k in ("answer", "unmount", "unmount_delay")})
    return {}


@command("bridge")
def _bridge(host, request):
    """Where zkuptp_bridge.exe listens: {"address": "10.77.0.1", "port": N}; with "pc", the
    bridge of that PC only (the attaches and detaches of the commands it sends)."""
    host.bridge.connect(request["address"], request["port"], request.get("pc"))
    return {}


@command("bridge_ask")
def _bridge_ask(host, request):
    """Sends one command to the bridge and waits for its answer: {"text": "..."}."""
    try:
        return {"answer": host.bridge.ask(request["text"], float(request.get("wait", 5.0)))}
    except OSError as exc:
        raise ControlError("bridge: %s" % exc) from None


@command("log")
def _log(host, request):
    entries = host.log.since(int(request.get("since", 0)))
    if request.get("server"):
        entries = [e for e in entries if e.get("server") == request["server"]]
    return {"entries": entries, "next": host.log.count()}


@command("clear_log")
def _clear_log(host, request):
    host.log.clear()
    return {}


@command("quit")
def _quit(host, request):
    host.stop()
    return {}
