"""The storage plugged into a simulated server, offered as network shares: its answer to
"GET STORAGE_LIST" and the safe removal "EXEC SAFE REMOVE:".

Storage-list reply (numbers big-endian):

    u8 storage count, then per storage:
        name (ANSI, at most 31 characters, zero-ended), text (ANSI, at most 260, zero-ended),
        u16 vendor id, u16 product id, u8 share count, then per share:
            label (UTF-8, zero-ended; may be empty), share name (UTF-8, zero-ended; may be
            empty), u32 value 1, u32 value 2, u8 flags (0x1 mounted, 0x2 shared)

A server answers it on both of its ports (the client asks on the system port and with blocking
requests); with no storage the reply is the single count byte 0.  A per-server reply fault bends
the bytes for tests of the client's parser: "raw" (hex) replaces the reply, "count" overwrites
the count byte, "cut" keeps only the first bytes, "append" (hex) adds bytes after the end.

Safe-removal command data: u8 1, u8 6, the server's hardware address, 4 zero bytes, then the
storage name and its zero; the rest of the command field is zero padding.  Every command is
checked and logged (proto "command", command "safe_remove", with the data through the name's
zero as hex); a bad one, or one that names no storage of the server, is answered NG.  A good one
is answered as scripted (the storage's own answer, else the server's: "ok" by default, "ng",
"silence").  After an OK every share of the storage becomes unmounted once the unmount delay
has passed (logged as proto "storage", note "unmounted"), or never (unmount "never").

The handlers are installed by the first storage control command, and for a server whose search
identity marks storage (then without replacing replies a test already set).
"""

import struct

import connect

LIST = "GET STORAGE_LIST"
SAFE_REMOVE = "EXEC SAFE REMOVE:"
ANSWERS = {"ok": b"OK", "ng": b"NG", "silence": None}
UNMOUNT_MODES = ("delay", "never")
DEFAULT_UNMOUNT_DELAY = 1.0

NAME_MAX = 31
TEXT_MAX = 260
COUNT_MAX = 255
REPLY_MAX = 0xFFFF  # the reply's offsets are u16
FLAG_MOUNTED = 0x01
FLAG_SHARED = 0x02

SHARE_DEFAULTS = {"label": "", "name": "", "value1": 0, "value2": 0, "mounted": True,
                  "shared": False}
STORAGE_DEFAULTS = {"name": None, "text": "", "vid": 0x0A5C, "pid": 0x0001, "shares": [],
                    "answer": None, "unmount": None, "unmount_delay": None}
SERVER_DEFAULTS = {"answer": "ok", "unmount": "delay", "unmount_delay": DEFAULT_UNMOUNT_DELAY}
FAULT_FIELDS = ("raw", "count", "cut", "append")


def _merged(defaults, old, fields, what):
    unknown = set(fields) - set(defaults)
    if unknown:
        raise ValueError("unknown %s fields: %s" % (what, ", ".join(sorted(unknown))))
    return dict(old, **fields)


def _text(value, encoding, limit, what):
    if not isinstance(value, str) or "\0" in value:
        raise ValueError("%s is a text without zero characters" % what)
    data = value.encode(encoding)  # UnicodeEncodeError is a ValueError
    if limit is not None and len(data) > limit:
        raise ValueError("%s has more than %d characters" % (what, limit))
    return data


def _u32(value, what):
    if not isinstance(value, int) or not 0 <= value <= 0xFFFFFFFF:
        raise ValueError("%s is a u32" % what)
    return value


def _u16(value, what):
    if not isinstance(value, int) or not 0 <= value <= 0xFFFF:
        raise ValueError("%s is a u16" % what)
    return value


def _check_policy(values):
    if values["answer"] is not None and values["answer"].lower() not in ANSWERS:
        raise ValueError("an answer is one of %s" % ", ".join(ANSWERS))
    if values["unmount"] is not None and values["unmount"] not in UNMOUNT_MODES:
        raise ValueError("unmount is one of %s" % ", ".join(UNMOUNT_MODES))
    if values["unmount_delay"] is not None and float(values["unmount_delay"]) < 0:
        raise ValueError("unmount_delay is not negative")


def share_record(share):
    """A share's bytes in the reply (share: a dict of SHARE_DEFAULTS' fields)."""
    flags = (FLAG_MOUNTED if share["mounted"] else 0) | (FLAG_SHARED if share["shared"] else 0)
    return (_text(share["label"], "utf-8", None, "a label") + b"\0"
            + _text(share["name"], "utf-8", None, "a share name") + b"\0"
            + struct.pack(">IIB", _u32(share["value1"], "value1"),
                          _u32(share["value2"], "value2"), flags))


class Storage:
    """One storage with its shares; fields as in STORAGE_DEFAULTS, shares as SHARE_DEFAULTS.
    answer, unmount and unmount_delay of None take the server's."""

    def __init__(self, fields):
        self.values = dict(STORAGE_DEFAULTS)
        self.update(fields)

    def update(self, fields):
        merged = _merged(STORAGE_DEFAULTS, self.values, fields, "storage")
        merged["shares"] = [_merged(SHARE_DEFAULTS, SHARE_DEFAULTS, dict(s), "share")
                            for s in merged["shares"]]
        if not merged["name"]:
            raise ValueError("a storage has a name")
        _text(merged["name"], "latin-1", NAME_MAX, "a storage name")
        _text(merged["text"], "latin-1", TEXT_MAX, "a storage text")
        _u16(merged["vid"], "vid")
        _u16(merged["pid"], "pid")
        if len(merged["shares"]) > COUNT_MAX:
            raise ValueError("a storage has at most %d shares" % COUNT_MAX)
        for share in merged["shares"]:
            share_record(share)
        _check_policy(merged)
        self.values = merged

    def __getitem__(self, name):
        return self.values[name]

    def record(self):
        v = self.values
        return (v["name"].encode("latin-1") + b"\0" + v["text"].encode("latin-1") + b"\0"
                + struct.pack(">HHB", v["vid"], v["pid"], len(v["shares"]))
                + b"".join(share_record(s) for s in v["shares"]))

    def describe(self):
        return {k: (list(map(dict, v)) if k == "shares" else v) for k, v in self.values.items()}


class StorageSet:
    """The storages of one server, in the order they were added, and how it answers."""

    def __init__(self, server):
        self.server = server
        self.storages = {}  # name -> Storage
        self.policy = dict(SERVER_DEFAULTS)
        self.fault = {}  # of FAULT_FIELDS
        self.repeats = connect.RepeatGuard()

    # Scripting.
    def add(self, fields):
        storage = Storage(fields)
        if storage["name"] in self.storages:
            raise ValueError("storage %s exists" % storage["name"])
        self._check_size(dict(self.storages, **{storage["name"]: storage}))
        self.storages[storage["name"]] = storage
        return storage

    def update(self, name, fields):
        storage = self.get(name)
        old = dict(storage.values)
        storage.update(fields)
        renamed = dict((storage["name"] if k == name else k, v) for k, v in self.storages.items())
        try:
            if len(renamed) != len(self.storages):
                raise ValueError("storage %s exists" % storage["name"])
            self._check_size(renamed)
        except ValueError:
            storage.values = old
            raise
        self.storages = renamed
        return storage

    def update_share(self, name, index, fields):
        shares = [dict(s) for s in self.get(name)["shares"]]
        if not 0 <= index < len(shares):
            raise ValueError("storage %s has no share %d" % (name, index))
        shares[index].update(fields)
        return self.update(name, {"shares": shares})

    def remove(self, name):
        self.get(name)
        del self.storages[name]

    def get(self, name):
        if name not in self.storages:
            raise ValueError("no storage %r" % name)
        return self.storages[name]

    def set_policy(self, fields):
        policy = _merged(SERVER_DEFAULTS, self.policy,
                         {k: v for k, v in fields.items() if v is not None}, "answer")
        _check_policy(policy)
        self.policy = policy

    def set_fault(self, fields):
        fault = {k: fields[k] for k in FAULT_FIELDS if fields.get(k) is not None}
        for key in ("raw", "append"):
            if key in fault:
                bytes.fromhex(fault[key])
        for key in ("count", "cut"):
            if key in fault and not (isinstance(fault[key], int) and fault[key] >= 0):
                raise ValueError("%s is a number of at least 0" % key)
        self.fault = fault

    @staticmethod
    def _check_size(storages):
        if len(storages) > COUNT_MAX:
            raise ValueError("a server has at most %d storages" % COUNT_MAX)
        if 1 + sum(len(s.record()) for s in storages.values()) > REPLY_MAX:
            raise ValueError("the storage list exceeds %d bytes" % REPLY_MAX)

    # Answers.
    def reply(self):
        """The storage-list reply as it is sent now (with the fault applied)."""
        fault = self.fault
        if "raw" in fault:
            return bytes.fromhex(fault["raw"])
        data = bytearray([len(self.storages)])
        for storage in self.storages.values():
            data += storage.record()
        if "count" in fault:
            data[0] = fault["count"] & 0xFF
        if "cut" in fault:
            data = data[:fault["cut"]]
        return bytes(data) + bytes.fromhex(fault.get("append", ""))

    def handle_remove(self, request, params, peer):
        return self.repeats.answer(
            peer, params, lambda: self._remove(params, peer),
            lambda answer: connect.log_repeat(self.server, "safe_remove", peer, answer))

    def _remove(self, params, peer):
        checked = parse_remove(params, connect.server_mac(self.server))
        errors = checked["errors"]
        storage = self.storages.get(checked["storage"]) if checked["storage"] else None
        if checked["storage"] and storage is None:
            errors.append("unknown storage %r" % checked["storage"])
        answer = "ng"
        if not errors:
            answer = (storage["answer"] or self.policy["answer"]).lower()
            if answer == "ok":
                self._schedule_unmount(storage)
        self.server.host.log.add(
            server=self.server.address, dir="event", proto="command", command="safe_remove",
            peer="%s:%d" % peer, storage=checked["storage"], data=checked["data"],
            mac=checked["mac"], address=checked["address"], fixed_ok=checked["fixed_ok"],
            errors=errors, ok=not errors,
            answer=ANSWERS[answer].decode() if ANSWERS[answer] else None)
        return ANSWERS[answer]

    def _schedule_unmount(self, storage):
        mode = storage["unmount"] or self.policy["unmount"]
        if mode == "never":
            return
        delay = storage["unmount_delay"]
        delay = float(self.policy["unmount_delay"] if delay is None else delay)
        self.server.call_later(delay, lambda: self._unmount(storage))

    def _unmount(self, storage):
        if self.storages.get(storage["name"]) is not storage:
            return  # removed or replaced meanwhile
        storage.values["shares"] = [dict(s, mounted=False) for s in storage["shares"]]
        self.server.host.log.add(server=self.server.address, dir="event", proto="storage",
                                 note="unmounted", storage=storage["name"])

    def describe(self):
        return {"storages": [s.describe() for s in self.storages.values()],
                "policy": dict(self.policy), "fault": dict(self.fault)}


def parse_remove(data, mac):
    """Checks the data of a safe-removal command (pure: no server state).

    Returns a dict: fixed_ok, mac (hex), address (dotted), storage (the name, or None),
    data (hex of the bytes through the name's zero), errors (texts; empty when sound)."""
    out = {"fixed_ok": False, "mac": None, "address": None, "storage": None,
           "data": data.rstrip(b"\0").hex(), "errors": []}
    errors = out["errors"]
    if not connect.check_fixed(data, mac, out, zero_address=True):
        return out
    rest = data[connect.FIXED_SIZE:]
    end = rest.find(b"\0")
    if end < 0:
        errors.append("storage name without its zero")
        return out
    out["data"] = data[:connect.FIXED_SIZE + end + 1].hex()
    out["storage"] = rest[:end].decode("latin-1")
    if not out["storage"]:
        errors.append("no storage name")
    if rest[end + 1:].strip(b"\0"):
        errors.append("unexpected bytes %s after the name" % rest[end + 1:].rstrip(b"\0").hex())
    return out


def storage_of(server):
    """The server's storages; the handlers answer from them from now on."""
    storages = _state(server)
    server.set_handler(LIST, _list_handler(storages))
    server.set_handler(SAFE_REMOVE, _remove_handler(storages))
    return storages


def offer(server):
    """For a server whose identity marks storage: answers both commands unless the test set
    replies of its own."""
    storages = _state(server)
    if LIST not in server.commands:
        server.set_handler(LIST, _list_handler(storages))
    if SAFE_REMOVE not in server.commands:
        server.set_handler(SAFE_REMOVE, _remove_handler(storages))


def _state(server):
    if "storage" not in server.state:
        server.state["storage"] = StorageSet(server)
    return server.state["storage"]


def _list_handler(storages):
    def answer(server, request, params):
        return storages.reply()
    return answer


def _remove_handler(storages):
    def answer(server, request, params, peer):
        return storages.handle_remove(request, params, peer)
    answer.wants_peer = True
    return answer
