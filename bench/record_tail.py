"""Corvalin's record lines, each stamped when it appears in the file.

The record's own `time` field has millisecond resolution and says when
Corvalin made the line, not when a reader could have it; the benches compare
the moment the line is there.  inotify through ctypes, so that nothing
beyond the standard library is needed.
"""
import ctypes, json, os, select, threading, time

IN_MODIFY, IN_CLOSE_WRITE, IN_MOVED_TO, IN_CREATE = 0x2, 0x8, 0x80, 0x100


class RecordTail(threading.Thread):
    """Follows FILE from its start; `lines` holds (time.time(), record)."""

    def __init__(self, path):
        super().__init__(daemon=True)
        self.path = path
        self.lines = []
        libc = ctypes.CDLL(None, use_errno=True)
        self.fd = libc.inotify_init1(os.O_CLOEXEC)
        # The folder, not the file: a file replaced under the same name is
        # followed too.
        folder = os.path.dirname(os.path.abspath(path)).encode()
        if self.fd < 0 or libc.inotify_add_watch(
                self.fd, folder, IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE) < 0:
            raise OSError(ctypes.get_errno(), "inotify on " + path)

    def run(self):
        poller = select.poll()
        poller.register(self.fd, select.POLLIN)
        file, inode, pending = None, None, b""
        while True:
            ready = poller.poll(500)  # the time-out covers a missed event
            now = time.time()
            if ready:
                os.read(self.fd, 65536)
            try:
                st = os.stat(self.path)
            except FileNotFoundError:
                continue
            if file and (st.st_ino != inode or st.st_size < file.tell()):
                file.close()
                file = None
            if not file:
                file, inode, pending = open(self.path, "rb"), st.st_ino, b""
            pending += file.read()
            *complete, pending = pending.split(b"\n")
            for line in complete:
                if line.strip():
                    self.lines.append((now, json.loads(line)))

    def wait_for(self, predicate, timeout):
        """True once some line satisfies predicate(record), within timeout s."""
        end = time.time() + timeout
        while time.time() < end:
            if any(predicate(r) for _, r in list(self.lines)):
                return True
            time.sleep(0.05)
        return False


def pair(events, lines):
    """Peer events [(stamp, title)] and Corvalin's lines [(stamp, record)] of
    one phase, matched in order: [(peer stamp, line stamp)].  A peer event
    whose line is missing, or a line the peer did not see, is left out
    rather than matched to a later switch of the same window."""
    pairs, e, k = [], 0, 0
    while e < len(events) and k < len(lines):
        title = lines[k][1].get("title")
        if title == events[e][1]:
            pairs.append((events[e][0], lines[k][0]))
            e, k = e + 1, k + 1
        elif e + 1 < len(events) and title == events[e + 1][1]:
            e += 1  # Corvalin has no line for this event
        else:
            k += 1  # a line the peer has no event for
    return pairs
