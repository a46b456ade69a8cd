#!/usr/bin/env python3
"""Hostile local-socket clients against a single-instance socket.

    hostile_clients.py SOCKET COUNT RAMP_S HOLD_S [KIND]

Connects COUNT clients spread over RAMP_S seconds (0: all at once).  None of
them speaks the program's protocol; each plays one of the kinds below in
turn (or only KIND) and keeps its socket until the server closes it or
HOLD_S seconds have passed.  Prints one line
of figures per kind and a total; the exit status is 0 unless the script
itself failed.
"""
import random
import selectors
import socket
import struct
import sys
import time

KINDS = [
    "random",        # random bytes, 1 to 8 KiB, then silence
    "cut-topic",     # a frame header claiming 8 bytes, three of them sent
    "huge-le",       # kind byte + 4-byte little-endian length near 4 GiB
    "huge-be",       # kind byte + 4-byte big-endian length of 2 GiB
    "bare-len",      # a 4-byte length prefix alone (another protocol's framing)
    "silent",        # connects and never sends
    "trickle",       # one random byte a second: progress, but never a frame
    "half-close",    # random bytes, then shuts down its sending side
]


def first_bytes(kind, rng):
    if kind == "random":
        return bytes(rng.getrandbits(8) for _ in range(rng.randint(1, 8192)))
    if kind == "cut-topic":
        return b"T" + struct.pack(">I", 8) + b"Cor"
    if kind == "huge-le":
        return rng.choice(b"TXA\x0a").to_bytes(1, "big") + struct.pack("<I", 0xFFFFFFF0) + b"x" * 64
    if kind == "huge-be":
        return rng.choice(b"TXA\x0a").to_bytes(1, "big") + struct.pack(">I", 0x7FFFFFFF) + b"x" * 64
    if kind == "bare-len":
        fmt = rng.choice(["<I", ">I"])
        return struct.pack(fmt, rng.choice([0xFFFFFFFF, 0x80000000, 1 << 24]))
    if kind == "half-close":
        return bytes(rng.getrandbits(8) for _ in range(rng.randint(1, 64)))
    return b""


class Client:
    __slots__ = ("sock", "kind", "pending", "opened", "next_trickle", "state")

    def __init__(self, kind):
        self.sock = None
        self.kind = kind
        self.pending = b""
        self.opened = 0.0
        self.next_trickle = 0.0
        self.state = "new"


def main():
    if len(sys.argv) not in (5, 6) or (len(sys.argv) == 6 and sys.argv[5] not in KINDS):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    path, count, ramp, hold = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), float(sys.argv[4])
    only = sys.argv[5] if len(sys.argv) == 6 else None
    rng = random.Random(20261208)
    sel = selectors.DefaultSelector()
    clients = [Client(only or KINDS[i % len(KINDS)]) for i in range(count)]
    stats = {k: {"connected": 0, "no-connect": 0, "dropped": 0, "held": 0,
                 "max-drop-s": 0.0, "bytes-in": 0} for k in KINDS}
    start = time.monotonic()
    started = 0
    open_now = 0
    retry_until = {}

    def close(c, how):
        nonlocal open_now
        try:
            sel.unregister(c.sock)
        except (KeyError, ValueError):
            pass
        c.sock.close()
        open_now -= 1
        c.state = how
        s = stats[c.kind]
        if how == "dropped":
            s["dropped"] += 1
            s["max-drop-s"] = max(s["max-drop-s"], time.monotonic() - c.opened)
        else:
            s["held"] += 1

    def try_connect(c, now):
        nonlocal open_now
        s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        s.setblocking(False)
        try:
            s.connect(path)
        except (BlockingIOError, InterruptedError):
            # A full backlog: the client tries again for a while.
            s.close()
            retry_until.setdefault(id(c), now + 2.0)
            if now > retry_until[id(c)]:
                stats[c.kind]["no-connect"] += 1
                c.state = "failed"
            return
        except OSError:
            s.close()
            stats[c.kind]["no-connect"] += 1
            c.state = "failed"
            return
        c.sock = s
        c.opened = now
        c.state = "open"
        c.pending = first_bytes(c.kind, rng)
        c.next_trickle = now + 1.0
        open_now += 1
        stats[c.kind]["connected"] += 1
        sel.register(s, selectors.EVENT_READ | (selectors.EVENT_WRITE if c.pending else 0), c)

    waiting = []
    while True:
        now = time.monotonic()
        due = count if ramp <= 0 else min(count, int((now - start) / ramp * count) + 1)
        while started < due:
            waiting.append(clients[started])
            started += 1
        still = []
        for c in waiting:
            try_connect(c, now)
            if c.state == "new":
                still.append(c)
        waiting = still
        for c in clients[:started]:
            if c.state != "open":
                continue
            if now - c.opened >= hold:
                close(c, "held")
            elif c.kind == "trickle" and now >= c.next_trickle:
                c.pending += bytes([rng.getrandbits(8)])
                c.next_trickle = now + 1.0
                sel.modify(c.sock, selectors.EVENT_READ | selectors.EVENT_WRITE, c)
        if started == count and not waiting and open_now == 0:
            break
        for key, events in sel.select(timeout=0.05):
            c = key.data
            if c.state != "open":
                continue
            if events & selectors.EVENT_READ:
                try:
                    data = c.sock.recv(65536)
                except (ConnectionResetError, BrokenPipeError):
                    data = b""
                except BlockingIOError:
                    data = None
                if data == b"":
                    close(c, "dropped")
                    continue
                if data:
                    stats[c.kind]["bytes-in"] += len(data)
            if events & selectors.EVENT_WRITE and c.pending:
                try:
                    sent = c.sock.send(c.pending)
                    c.pending = c.pending[sent:]
                except BlockingIOError:
                    pass
                except (BrokenPipeError, ConnectionResetError):
                    close(c, "dropped")
                    continue
                if not c.pending:
                    if c.kind == "half-close":
                        try:
                            c.sock.shutdown(socket.SHUT_WR)
                        except OSError:
                            pass
                    sel.modify(c.sock, selectors.EVENT_READ, c)

    total = {"connected": 0, "no-connect": 0, "dropped": 0, "held": 0}
    for kind in KINDS:
        s = stats[kind]
        for k in total:
            total[k] += s[k]
        if not s["connected"] and not s["no-connect"]:
            continue
        print("  %-10s connected %4d  no-connect %3d  dropped by server %4d (latest after %.1f s)"
              "  held to the end %4d  bytes answered %d"
              % (kind, s["connected"], s["no-connect"], s["dropped"], s["max-drop-s"], s["held"],
                 s["bytes-in"]))
    print("  clients %d  connected %d  no-connect %d  dropped by server %d  held to the end %d  "
          "seconds %.1f" % (count, total["connected"], total["no-connect"], total["dropped"],
                            total["held"], time.monotonic() - start))
    return 0


if __name__ == "__main__":
    sys.exit(main())
