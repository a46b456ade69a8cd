#!/usr/bin/env python3
"""Corvalin on sway beside sway's own IPC, in one run (see bench/README.md).

Run inside tests/wayland/sway_session.sh by bench/compare_wayland.sh, which
starts Corvalin (record file on), a bare wxGTK frame with and without a
50 ms timer, and four foot windows.  Usage:
  sway_compare.py RECORD_FILE CORVALIN_PID BARE_PID TIMER_PID TITLE...
"""
import json, os, socket, statistics, struct, sys, threading, time

from record_tail import RecordTail, pair

MAGIC = b"i3-ipc"
RUN_COMMAND, GET_TREE, SUBSCRIBE = 0, 4, 2


def ipc():
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.connect(os.environ["SWAYSOCK"])
    return s


def send(s, kind, payload=b""):
    s.sendall(MAGIC + struct.pack("=II", len(payload), kind) + payload)


def receive(s):
    head = b""
    while len(head) < 14:
        head += s.recv(14 - len(head))
    length, kind = struct.unpack("=II", head[6:])
    body = b""
    while len(body) < length:
        body += s.recv(length - len(body))
    return kind, json.loads(body)


def ask(s, kind, payload=b""):
    send(s, kind, payload)
    return receive(s)[1]


def walk(node):
    yield node
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        yield from walk(child)


class Peer(threading.Thread):
    """sway's own window events, stamped on arrival."""

    def __init__(self):
        super().__init__(daemon=True)
        self.sock = ipc()
        ask(self.sock, SUBSCRIBE, b'["window"]')
        self.events = []

    def run(self):
        while True:
            kind, event = receive(self.sock)
            if event.get("change") == "focus":
                self.events.append((time.time(), event["container"]["id"]))


def cpu_ns(pid):
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        with open(f"/proc/{pid}/task/{task}/schedstat") as f:
            total += int(f.read().split()[0])
    return total


def stamp(record):
    # "2026-12-08T11:30:48.358+00:00": milliseconds of the local wall clock.
    from datetime import datetime
    return datetime.fromisoformat(record["time"]).timestamp()


def main():
    record_file, corv, bare, timer = sys.argv[1], *map(int, sys.argv[2:5])
    titles = sys.argv[5:]
    command = ipc()
    tree = ask(command, GET_TREE)
    ids = {n["name"]: n["id"] for n in walk(tree) if n.get("name") in titles}
    cycle = [ids[t] for t in titles]
    # Three threads stamp what they receive; a short switch interval keeps
    # one from waiting long for the interpreter while another holds it.
    sys.setswitchinterval(0.0002)
    tail = RecordTail(record_file)
    tail.start()
    peer = Peer()
    peer.start()
    titles_of = {v: k for k, v in ids.items()}
    rows = []
    for dwell_ms in (100, 30, 10, 3):
        ask(command, RUN_COMMAND, b"[con_id=%d] focus" % cycle[-1])
        time.sleep(0.5)
        before_lines, before_peer = len(tail.lines), len(peer.events)
        sent = []
        for i in range(40):
            con = cycle[i % len(cycle)]
            sent.append((time.time(), con))
            ask(command, RUN_COMMAND, b"[con_id=%d] focus" % con)
            time.sleep(dwell_ms / 1000)
        time.sleep(1.0)
        appeared = [l for l in tail.lines[before_lines:] if l[1]["title"] in titles]
        new = [r for _, r in appeared]
        seen = [e for e in peer.events[before_peer:] if e[1] in cycle]
        row = {"dwell": dwell_ms, "corvalin": len(new), "peer": len(seen)}
        if dwell_ms == 100:
            lat_c, lat_p = [], []
            for (t0, con), line in zip(sent, new):
                if ids[line["title"]] == con:
                    lat_c.append((stamp(line) - t0) * 1000)
            for (t0, con), event in zip(sent, seen):
                if event[1] == con:
                    lat_p.append((event[0] - t0) * 1000)
            row["lat"] = (lat_c, lat_p)
            row["lat_line"] = [(l - t0) * 1000 for t0, l in
                               pair([(t, titles_of[c]) for t, c in sent], appeared)]
            row["behind"] = [(l - p) * 1000 for p, l in
                             pair([(t, titles_of[c]) for t, c in seen], appeared)]
        rows.append(row)

    print("Corvalin on sway 1.7 (headless), beside sway's own IPC, one run")
    print(f"{'figure':44} {'Corvalin':>16} {'sway IPC':>16}")
    for row in rows:
        print(f"{'switches seen of 40, %d ms dwell' % row['dwell']:44} {row['corvalin']:>16} {row['peer']:>16}")
    lat_c, lat_p = rows[0]["lat"]
    def show(values, digits=1):
        if not values:
            return "n/a"
        return "%.*f / %.*f (%d)" % (digits, statistics.median(values), digits, max(values), len(values))
    print(f"{'latency from focus command, ms: median / max':44} {show(lat_c):>16} {show(lat_p):>16}")
    print("  (Corvalin: the record's time field, millisecond resolution; sway IPC: event received)")
    print(f"{'latency from focus command to line, ms':44} {show(rows[0]['lat_line']):>16} {'':>16}")
    print(f"{'Corvalin line - sway event, ms: median / max':44} {show(rows[0]['behind'], 2):>16} {'':>16}")
    print("  (line: the record line read through inotify; event: sway's window event received)")

    idle = float(os.environ.get("CORVALIN_BENCH_IDLE", "20"))
    # After a burst of lines the text view goes on laying them out for a few
    # seconds; that is the burst's cost, not the idle tick's.
    time.sleep(5)
    pids = {"Corvalin": corv, "bare frame": bare, "bare frame + 50 ms timer": timer}
    start = {name: cpu_ns(pid) for name, pid in pids.items()}
    time.sleep(idle)
    used = {name: (cpu_ns(pid) - start[name]) / 1e9 / idle * 100 for name, pid in pids.items()}
    print(f"idle CPU over {idle:.0f} s, all three at once on the same XWayland:")
    for name in pids:
        print(f"  {name:28} {used[name]:6.3f} %")
    base = used["bare frame + 50 ms timer"]
    if base > 0:
        print(f"  Corvalin / bare frame with timer: {used['Corvalin'] / base:.2f}x")


main()
