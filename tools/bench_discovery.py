#!/usr/bin/python3
"""Discovery benchmark (run by tools/bench_discovery.sh inside its own test network).

1. For 10, 100 and 250 simulated servers: the time from PnxStartService to the last
   PNXET_NEW, each with a fresh library process, several rounds per size.
2. With 250 servers listed and the default Timer (10000 ms): the CPU time of the Wine process
   that holds the library (and of the wineserver) over 60 s of idling, from /proc. Idle
   means the service runs: a search every 10 s and each server's device list polled as often.
3. Memory with 250 servers of 8 USB devices each, once all 2,000 devices are listed (and again
   after a minute of polls), beside its floors: an empty host process (bench_floor.exe at its
   start), the harness with the library loaded, and the library's service running with no
   server. Each figure both from inside the process (the harness's "memory" command: the
   committed private regions by VirtualQuery, which is what Windows counts as private bytes;
   GetProcessMemoryInfo's PagefileUsage, which Wine takes from /proc as resident anonymous
   memory plus swap, while its PrivateUsage stays 0; the busy heap blocks by HeapWalk) and
   from /proc/PID/status of the Wine process (VmRSS, RssAnon, Threads).
"""

import argparse
import json
import os
import queue
import statistics
import subprocess
import sys
import threading
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(ROOT, "sim"))

from simctl import Simulator  # noqa: E402

TICKS = os.sysconf("SC_CLK_TCK")


def addresses(count):
    return ["10.77.0.%d" % (2 + i) for i in range(count)]


def simulator(count):
    """`count` servers that answer searches, and the device-list requests that follow with an
    empty list (a server without USB devices), so that every session runs as it should."""
    sim = Simulator(addresses(count), netns=os.environ["QZ_LAN_NS"], discovery=True,
                    max_seconds=1800).start()
    for command in ("GET USB_DEVICE_LIST", "GET USB_DEVICE_LIST_EX", "GET USB_DEVICE_LIST_EX_II"):
        sim.set_reply("*", command, b"\0")
    return sim


# Interface classes of the simulated devices, one per port. No printers: a free printer starts
# an automatic-print connect whose batch holds the library.
DEVICE_CLASSES = [[8, 6], [3, 1], [1, 1], [255, 0], [9, 0], [8, 6], [3, 1], [1, 1]]


def device_simulator(servers, devices, max_seconds=1800):
    """Servers with a host name, a model and `devices` USB devices each."""
    sim = Simulator(servers, netns=os.environ["QZ_LAN_NS"], discovery=True,
                    max_seconds=max_seconds).start()
    for n, address in enumerate(servers):
        sim.identity(address, host="BENCH-%03d" % n, model="QZ-7000")
        for d in range(devices):
            sim.plug(address, name="Device %03d-%d" % (n, d), location="1-%d" % (d + 1),
                     port=str(d + 1), interfaces=[DEVICE_CLASSES[d % len(DEVICE_CLASSES)]])
    return sim


class Harness:
    """harness.exe under Wine; every output line is stamped with its arrival time."""

    def __init__(self, wine_run, harness, library):
        self.proc = subprocess.Popen([wine_run, harness, library], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                     cwd=os.path.dirname(harness))
        self.queue = queue.Queue()
        self.seen = []
        threading.Thread(target=self._read, daemon=True).start()
        if self.wait(lambda l: l.get("type") in ("ready", "error"), 120).get("type") != "ready":
            raise SystemExit("harness.exe did not start")

    def _read(self):
        for raw in self.proc.stdout:
            try:
                self.queue.put((time.monotonic(), json.loads(raw)))
            except ValueError:
                pass
        self.queue.put((time.monotonic(), None))

    def wait(self, predicate, timeout):
        deadline = time.monotonic() + timeout
        while True:
            try:
                at, line = self.queue.get(timeout=max(0.0, deadline - time.monotonic()))
            except queue.Empty:
                return {}
            if line is None:
                raise SystemExit("harness.exe ended early")
            self.seen.append((at, line))
            if predicate(line):
                return line

    def send(self, text):
        self.proc.stdin.write((text + "\n").encode())
        self.proc.stdin.flush()

    def command(self, text, timeout=60):
        self.send(text)
        name = text.split()[0]
        return self.wait(lambda l: l.get("type") == "result" and l.get("cmd") == name, timeout)

    def new_servers(self):
        return [at for at, l in self.seen if l.get("msg") == "PNXN_SERVER" and l.get("kind") == 1]


    def wine_pid(self):
        """The Linux process that runs harness.exe (a child of the wine-run wrapper)."""
        return child_running(self.proc.pid, b"harness.exe")

    def quit(self):
        try:
            self.send("quit")
            self.proc.stdin.close()
            self.proc.wait(timeout=30)
        except (OSError, subprocess.TimeoutExpired):
            self.proc.kill()


def cpu_seconds(pid):
    """User and system CPU time of a process (all its threads), in seconds."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def wineserver_pid():
    """The wineserver of this prefix (other Wine sessions may run on the machine)."""
    wanted = ("WINEPREFIX=%s" % os.environ.get("WINEPREFIX", "")).encode()
    for pid in os.listdir("/proc"):
        try:
            with open("/proc/%s/comm" % pid) as f:
                if not f.read().startswith("wineserver"):  # wineserver64 on 64-bit hosts
                    continue
            with open("/proc/%s/environ" % pid, "rb") as f:
                if wanted in f.read().split(b"\0"):
                    return int(pid)
        except OSError:
            continue
    return None


def proc_memory(pid):
    """VmRSS, RssAnon and VmSwap (bytes) and Threads of a process from /proc/PID/status."""
    fields = {}
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            key, _, value = line.partition(":")
            if key in ("VmRSS", "RssAnon", "VmSwap"):
                fields[key] = int(value.split()[0]) * 1024
            elif key == "Threads":
                fields[key] = int(value)
    return fields


def udp_receive_drops():
    """Datagrams this network namespace dropped because a socket's receive buffer was full."""
    with open("/proc/net/snmp") as f:
        rows = [line.split() for line in f if line.startswith("Udp:")]
    return int(dict(zip(rows[0][1:], rows[1][1:]))["RcvbufErrors"])


def start_and_wait(args, sim, count, timer=10000, keep=False):
    """One round: fresh library, PnxStartService, wait for `count` PNXET_NEW."""
    harness = Harness(args.wine_run, args.harness, args.library)
    if not harness.command("register").get("ok"):
        raise SystemExit("PnxRegisterNotification failed")
    mark = sim.mark()
    drops = udp_receive_drops()
    started = time.monotonic()
    harness.send("start mode=1 timer=%d broad=0" % timer)
    deadline = started + args.timeout
    while len(harness.new_servers()) < count and time.monotonic() < deadline:
        harness.wait(lambda l: l.get("msg") == "PNXN_SERVER", deadline - time.monotonic())
    news = harness.new_servers()
    result = {
        "found": len(news),
        "last_new_ms": 1000 * (news[-1] - started) if news else None,
        "first_new_ms": 1000 * (news[0] - started) if news else None,
        "searches": len([e for e in sim.searches(mark) if e["dst"] == "255.255.255.255"]),
        "dropped": udp_receive_drops() - drops,
    }
    replies = sim.search_replies(mark)
    searches = sim.searches(mark)
    if replies and searches:
        result["sim_answer_ms"] = 1000 * (replies[min(count, len(replies)) - 1]["mono"]
                                          - searches[0]["mono"])
    if keep:
        return harness, result
    harness.command("end")
    harness.quit()
    return None, result


class Floor:
    """bench_floor.exe under Wine (see tests/harness/floor/bench_floor.cpp)."""

    def __init__(self, args, *mode):
        self.proc = subprocess.Popen([args.wine_run, args.floor] + [str(m) for m in mode],
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, cwd=os.path.dirname(args.floor))
        self.ready = self.line()
        if self.ready.get("type") != "ready":
            raise SystemExit("bench_floor.exe did not start")

    def line(self):
        raw = self.proc.stdout.readline()
        if not raw:
            return {}
        try:
            return json.loads(raw)
        except ValueError:
            return {}

    def go(self):
        self.proc.stdin.write(b"go\n")
        self.proc.stdin.flush()
        return time.monotonic()

    def wine_pid(self):
        return child_running(self.proc.pid, b"bench_floor.exe")

    def close(self):
        try:
            self.proc.wait(timeout=120)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()


def floor_round(args, mode, count):
    """Wall time (ms) from "go" to the floor program's "listed" line; None when short."""
    floor = Floor(args, mode, count)
    started = floor.go()
    line = floor.line()
    finished = time.monotonic()
    floor.close()
    return 1000 * (finished - started) if line.get("type") == "listed" else None


def child_running(parent, name):
    """The Linux process that runs `name` (a child of the wine-run wrapper `parent`)."""
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % pid) as f:
                ppid = int(f.read().rsplit(")", 1)[1].split()[1])
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                cmdline = f.read()
        except OSError:
            continue
        if ppid == parent and name in cmdline:
            return int(pid)
    return None


def median_text(values):
    values = [v for v in values if v is not None]
    return statistics.median(values) if values else None


def ratio_text(value, floor):
    return "%.2f" % (value / floor) if value and floor else "-"


def bench_start(args):
    print("== Time from PnxStartService to the last PNXET_NEW (Timer 10000 ms, %d rounds)"
          % args.rounds)
    print("   %-7s  %-11s  %-20s  %-6s  %-14s  %s" % (
        "servers", "found", "last NEW ms", "median", "first NEW ms", "simulator answered all ms"))
    floors = {}
    for count in (10, 100, 250):
        with simulator(count) as sim:
            # Library and floor rounds take turns, so that both see the same load.
            rounds, receive, listed = [], [], []
            for _ in range(args.rounds):
                rounds.append(start_and_wait(args, sim, count)[1])
                receive.append(floor_round(args, "receive", count))
                listed.append(floor_round(args, "list", count))
        floors[count] = (median_text(receive), median_text(listed), rounds)
        lasts = [r["last_new_ms"] for r in rounds if r["found"] == count]
        median = "%.0f" % statistics.median(lasts) if lasts else "-"
        print("   %-7d  %-11s  %-20s  %-6s  %-14s  %s" % (
            count, "/".join(str(r["found"]) for r in rounds),
            " ".join("%.0f" % r["last_new_ms"] if r["last_new_ms"] else "-" for r in rounds),
            median, " ".join("%.0f" % r["first_new_ms"] for r in rounds if r["first_new_ms"]),
            " ".join("%.0f" % r.get("sim_answer_ms", 0) for r in rounds)))
        for r in rounds:
            if r["found"] != count:
                print("      a round found %d of %d after %d searches; the PC dropped %d "
                      "replies (receive buffer full)" % (r["found"], count, r["searches"],
                                                         r["dropped"]))
    print("\n== Floor (bench_floor.exe, same run, median of %d rounds) and the library as a ratio"
          % args.rounds)
    print("   %-7s  %-16s  %-18s  %-16s  %s" % (
        "servers", "receive only ms", "receive+windows ms", "library ms", "library / floor"))
    for count, (receive, listed, rounds) in floors.items():
        lasts = [r["last_new_ms"] for r in rounds if r["found"] == count]
        library = statistics.median(lasts) if lasts else None
        print("   %-7d  %-16s  %-18s  %-16s  %s" % (
            count, "%.0f" % receive if receive else "-", "%.0f" % listed if listed else "-",
            "%.0f" % library if library else "-", ratio_text(library, listed)))


def floor_idle(args, count):
    """CPU of bench_floor.exe (and the wineserver) over the idle time, polling `count` servers."""
    floor = Floor(args, "idle", count, args.idle_seconds, 10000)
    floor.go()
    if floor.line().get("type") != "listed" or floor.line().get("type") != "polling":
        floor.close()
        return None
    pid, server = floor.wine_pid(), wineserver_pid()
    lib0, srv0, wall0 = cpu_seconds(pid), cpu_seconds(server) if server else 0.0, time.monotonic()
    end = floor.line()
    wall = time.monotonic() - wall0
    lib = cpu_seconds(pid) - lib0
    srv = (cpu_seconds(server) - srv0) if server else 0.0
    floor.close()
    return {"lib": 100 * lib / wall, "srv": 100 * srv / wall, "polls": end.get("polls"),
            "replies": end.get("replies"), "searches": end.get("searches")}


def bench_idle(args):
    count = 250
    print("\n== CPU time while idle: %d servers listed, Timer 10000 ms, %d s" % (
        count, args.idle_seconds))
    with simulator(count) as sim:
        floor = floor_idle(args, count)
        harness, result = start_and_wait(args, sim, count, keep=True)
        try:
            if result["found"] != count:
                print("   only %d of %d servers found; measuring anyway" % (result["found"], count))
            time.sleep(2)
            pid, server = harness.wine_pid(), wineserver_pid()
            mark = sim.mark()
            drops0 = udp_receive_drops()
            lib0 = cpu_seconds(pid)
            srv0 = cpu_seconds(server) if server else 0.0
            wall0 = time.monotonic()
            time.sleep(args.idle_seconds)
            wall = time.monotonic() - wall0
            lib = cpu_seconds(pid) - lib0
            srv = (cpu_seconds(server) - srv0) if server else 0.0
            searches = [e for e in sim.searches(mark) if e["dst"] == "255.255.255.255"]
            replies = sim.search_replies(mark)
            polls = len([e for e in sim.log(since=mark) if e["dir"] == "in"
                         and e.get("proto") == "rwp" and e.get("type") == 1])
            dropped = udp_receive_drops()
            listed = harness.command("servers", timeout=120).get("count")
            news = len(harness.new_servers()) - result["found"]
        finally:
            harness.command("end")
            harness.quit()
    print("   library process (harness.exe under Wine, pid %d): %.2f s CPU in %.1f s = %.2f %%"
          % (pid, lib, wall, 100 * lib / wall))
    print("   wineserver: %.2f s CPU = %.2f %%" % (srv, 100 * srv / wall))
    print("   searches sent: %d, replies sent: %d (dropped at the PC: %d), device-list "
          "requests: %d, new servers meanwhile: %d, listed at the end: %s"
          % (len(searches), len(replies), dropped - drops0, polls, news, listed))
    if floor:
        print("   floor (bench_floor.exe): %.2f %%, wineserver %.2f %% (polls %s, replies %s, "
              "searches %s)" % (floor["lib"], floor["srv"], floor["polls"], floor["replies"],
                                floor["searches"]))
        print("   library / floor: process %s, wineserver %s, together %s" % (
            ratio_text(100 * lib / wall, floor["lib"]), ratio_text(100 * srv / wall, floor["srv"]),
            ratio_text(100 * (lib + srv) / wall, floor["lib"] + floor["srv"])))
    else:
        print("   floor: bench_floor.exe did not finish its idle run")


MB = 1024.0 * 1024.0
MEMORY_COLUMNS = "   %-36s  %-9s  %-9s  %-9s  %-7s  %-6s  %-7s  %s"


def memory_row(label, inside, linux):
    """One printed row: the figures from inside the process and from /proc, in MB."""
    def mb(value):
        return "%.1f" % (value / MB) if value is not None else "-"
    print(MEMORY_COLUMNS % (
        label, mb(inside.get("committed_private")), mb(inside.get("pagefile")),
        mb(inside.get("heap_used")), inside.get("heap_blocks", "-"),
        mb(linux.get("VmRSS")), mb(linux.get("RssAnon")), linux.get("Threads", "-")))


def harness_memory(harness, sizes=0):
    inside = harness.command("memory sizes=%d" % sizes, timeout=120)
    return inside, proc_memory(harness.wine_pid())


def bench_memory(args):
    servers, devices = 250, 8
    print("\n== Memory (MB): %d servers x %d USB devices listed, Timer 10000 ms" % (servers, devices))
    print("   private bytes: the committed private regions (VirtualQuery); Pagefile: "
          "GetProcessMemoryInfo's PagefileUsage,\n   which Wine fills with RssAnon + VmSwap "
          "(its PrivateUsage stays 0); heap: busy blocks by HeapWalk; VmRSS, RssAnon, Threads:\n"
          "   /proc/PID/status of the Wine process")
    print(MEMORY_COLUMNS % ("process", "private", "Pagefile", "heap", "blocks", "VmRSS",
                            "RssAnon", "Threads"))
    floor = Floor(args, "list", servers)
    memory_row("empty host (bench_floor.exe)", floor.ready, proc_memory(floor.wine_pid()))
    floor.proc.stdin.close()
    floor.close()
    harness = Harness(args.wine_run, args.harness, args.library)
    try:
        loaded = harness_memory(harness)
        harness.command("register")
        harness.send("start mode=1 timer=10000 broad=0")
        time.sleep(12)  # two searches without an answer
        idle = harness_memory(harness)
        harness.command("end")
    finally:
        harness.quit()
    memory_row("library loaded (harness.exe)", *loaded)
    memory_row("service running, no server", *idle)
    floor_list = None
    with device_simulator(addresses(servers), devices) as sim:
        floor = Floor(args, "list", servers)
        floor.go()
        if floor.line().get("type") == "listed":
            floor_list = floor.line()
        floor.close()
        harness = Harness(args.wine_run, args.harness, args.library)
        try:
            harness.command("register")
            started = time.monotonic()
            harness.send("start mode=1 timer=10000 broad=0")
            news = []

            def device_new(line):
                if line.get("msg") == "PNXN_DEVICE" and line.get("kind") == 1:
                    news.append(time.monotonic())
                return len(news) >= servers * devices

            harness.wait(device_new, args.timeout * 5)
            found = len(news)
            listed_s = (news[-1] - started) if news else 0.0
            time.sleep(2)
            after_list = harness_memory(harness)
            time.sleep(args.idle_seconds)
            after_idle = harness_memory(harness, sizes=12)
            harness.command("end")
        finally:
            harness.quit()
    if floor_list:
        memory_row("%d servers' windows (bench_floor)" % servers, floor_list, {})
    memory_row("%d devices listed (+2 s)" % found, *after_list)
    memory_row("the same after %d s of polls" % args.idle_seconds, *after_idle)
    last = after_idle[0]
    print("   all %d devices listed %.1f s after the start; heap blocks that take the most "
          "(bytes x count):\n   %s" % (found, listed_s, ", ".join(
              "%d x %d" % (size, count) for size, count in last.get("sizes", []))))
    print("   GetProcessMemoryInfo: PrivateUsage %d, PagefileUsage %d, WorkingSetSize %d bytes"
          % (last.get("private_usage", 0), last.get("pagefile", 0), last.get("working_set", 0)))
    share = last["committed_private"] - idle[0]["committed_private"]
    print("   the library's share with %d servers (above the service with no server): private "
          "bytes %.1f MB, RssAnon %.1f MB, heap %.1f MB" % (
              servers, share / MB, (after_idle[1]["RssAnon"] - idle[1]["RssAnon"]) / MB,
              (last["heap_used"] - idle[0]["heap_used"]) / MB))
    print("   goal: under 20 MB of private bytes with %d servers: whole process %.1f MB, "
          "the library's share %.1f MB: %s" % (
              servers, last["committed_private"] / MB, share / MB,
              "met" if share < 20 * MB else "missed"))


def main(argv):
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--harness", required=True)
    parser.add_argument("--library", required=True)
    parser.add_argument("--floor", required=True, help="bench_floor.exe")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--idle-seconds", type=int, default=60)
    parser.add_argument("--timeout", type=float, default=60.0,
                        help="seconds to wait for every server of a round")
    parser.add_argument("--only", choices=("start", "idle", "memory"), action="append",
                        help="run only these parts (default: all)")
    args = parser.parse_args(argv)
    parts = args.only or ("start", "idle", "memory")
    print("Discovery benchmark, library %s" % args.library)
    if "start" in parts:
        bench_start(args)
    if "idle" in parts:
        bench_idle(args)
    if "memory" in parts:
        bench_memory(args)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
