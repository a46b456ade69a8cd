#!/usr/bin/env python3
"""Starts an executable N times at once and times each run.

    second_starts.py N LIMIT_S KILL_S EXECUTABLE [ARGS...]

All N processes are started together (output discarded).  A process still
running after KILL_S seconds is killed and counted as hung.  Prints
"starts N status255 K other O hung H over_limit L slowest_ms S start_us T"
(T: CLOCK_REALTIME in microseconds when the first was started) and, when
some did not end with 255, one line "statuses ..." with their statuses
(negative: killed by that signal).
"""
import signal
import subprocess
import sys
import time


def main():
    if len(sys.argv) < 5:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    n, limit, kill_after = int(sys.argv[1]), float(sys.argv[2]), float(sys.argv[3])
    command = sys.argv[4:]
    start_us = time.time_ns() // 1000
    started = {}
    for _ in range(n):
        p = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
        started[p.pid] = (p, time.monotonic())
    durations, statuses, hung = [], [], 0
    while started:
        now = time.monotonic()
        for pid, (p, t0) in list(started.items()):
            status = p.poll()
            if status is None and now - t0 > kill_after:
                p.send_signal(signal.SIGKILL)
                p.wait()
                hung += 1
                durations.append(now - t0)
                del started[pid]
            elif status is not None:
                durations.append(now - t0)
                statuses.append(status)
                del started[pid]
        time.sleep(0.005)
    ok = sum(1 for s in statuses if s == 255)
    over = sum(1 for d in durations if d > limit)
    print("starts %d status255 %d other %d hung %d over_limit %d slowest_ms %d start_us %d"
          % (n, ok, len(statuses) - ok, hung, over, int(max(durations) * 1000), start_us))
    others = sorted(s for s in statuses if s != 255)
    if others:
        print("statuses " + " ".join(str(s) for s in others))
    return 0


if __name__ == "__main__":
    sys.exit(main())
