#!/usr/bin/python3
"""Corvalin on KWin or GNOME Shell beside the compositor's own report of each
switch, in one run (see bench/README.md).

Run inside the desktop's private session by bench/compare_desktops.sh, which
starts Corvalin (record file on) and the windows named TITLE.  Usage:
  desktop_compare.py kwin|gnome LABEL RECORD_FILE TITLE...
Needs python3-gi: the switch requests go over one D-Bus connection kept open,
so that a request costs well under the shortest dwell.
"""
import os, queue, shutil, statistics, sys, tempfile, threading, time

import gi
gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib

from record_tail import RecordTail, pair

NAME = "example.pellowen.CorvalinBench"
PATH = "/example/pellowen/CorvalinBench"
IFACE = NAME
SERVICE_XML = f"""<node><interface name="{IFACE}">
  <method name="Next"><arg type="s" direction="out"/></method>
  <method name="Activated"><arg type="s" direction="in"/></method>
</interface></node>"""
DWELLS = (100, 30, 10, 3)


class Bench:
    def __init__(self, titles):
        self.titles = titles
        self.bus = Gio.bus_get_sync(Gio.BusType.SESSION)
        self.events = []           # the peer's (time.time(), title)
        self.nexts = queue.Queue()  # a KWin driver's pending Next calls
        node = Gio.DBusNodeInfo.new_for_xml(SERVICE_XML)
        self.bus.register_object(PATH, node.interfaces[0], self._call, None, None)
        # The subscription puts the match rule on the bus; the filter stamps.
        self.bus.signal_subscribe(None, IFACE, "Focus", PATH, None,
                                  Gio.DBusSignalFlags.NONE, lambda *_: None)
        self.bus.add_filter(self._arrived)
        self.call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                  "RequestName", GLib.Variant("(su)", (NAME, 4)))
        # The loop's thread answers calls while the main thread sleeps the
        # dwells.
        threading.Thread(target=GLib.MainLoop().run, daemon=True).start()

    def _arrived(self, bus, message, incoming):
        # Runs on GDBus's own thread as each message comes in, before any
        # dispatch: the peer's report is stamped at its earliest.
        if (incoming and message.get_interface() == IFACE
                and message.get_member() in ("Activated", "Focus")):
            self.events.append((time.time(), message.get_body().unpack()[0]))
        return message

    def _call(self, bus, sender, path, iface, method, params, invocation):
        if method == "Activated":
            invocation.return_value(None)
        else:
            self.nexts.put(invocation)

    def call(self, dest, path, iface, method, params=None, timeout_ms=5000):
        return self.bus.call_sync(dest, path, iface, method, params, None,
                                  Gio.DBusCallFlags.NONE, timeout_ms, None).unpack()


class Kwin:
    """Switches by a KWin script that asks the bench for each next caption;
    the peer is a second script that reports every activation."""
    peer_name = "KWin script"

    def __init__(self, bench):
        self.bench = bench
        self.folder = tempfile.mkdtemp(prefix="corvalin-bench-kwin.")
        self.loaded = []
        self.load("corvalin-bench-peer", """
            var activated = workspace.windowActivated || workspace.clientActivated;
            activated.connect(function (w) {
                callDBus("%s", "%s", "%s", "Activated", w ? String(w.caption) : "");
            });""" % (NAME, PATH, IFACE))

    def scripting(self, method, params=None):
        return self.bench.call("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", method, params)

    def load(self, name, code):
        path = os.path.join(self.folder, name + ".js")
        with open(path, "w") as f:
            f.write("(function () {%s})();\n" % code)
        self.scripting("loadScript", GLib.Variant("(ss)", (path, name)))
        self.scripting("start")  # runs what is loaded and not running yet
        self.loaded.append(name)

    def unload(self, name):
        self.scripting("unloadScript", GLib.Variant("(s)", (name,)))
        self.loaded.remove(name)

    def ready(self, tail):
        # KWin gives each new window the focus: Corvalin has logged them all.
        return all(tail.wait_for(lambda r, t=t: r.get("title") == t, 20) for t in self.bench.titles)

    def phase(self, number):
        """Starts the driver of one phase; returns the function that makes
        the next switch."""
        name = "corvalin-bench-driver-%d" % number
        self.load(name, """
            var service = "%s", path = "%s", iface = "%s";
            function step(caption) {
                if (!caption)
                    return;
                var list = workspace.windowList ? workspace.windowList() : workspace.clientList();
                for (var i = 0; i < list.length; ++i)
                    if (list[i].caption === caption) {
                        if (typeof workspace.activeWindow !== "undefined") workspace.activeWindow = list[i];
                        else workspace.activeClient = list[i];
                    }
                callDBus(service, path, iface, "Next", step);
            }
            callDBus(service, path, iface, "Next", step);""" % (NAME, PATH, IFACE))
        self.driver = name

        def switch(caption):
            invocation = self.bench.nexts.get(timeout=5)
            sent = time.time()
            invocation.return_value(GLib.Variant("(s)", (caption,)))
            return sent
        return switch

    def end_phase(self, switch):
        switch("")  # the driver stops
        self.unload(self.driver)

    def close(self):
        for name in list(self.loaded):
            self.unload(name)
        shutil.rmtree(self.folder, ignore_errors=True)


class Gnome:
    """Switches by org.gnome.Shell.Eval (the test extension allows it), as a
    click would; the peer is the shell's own notify::focus-window, which an
    Eval'd handler sends on as a D-Bus signal."""
    peer_name = "shell focus-window"

    def __init__(self, bench):
        self.bench = bench
        self.eval("""
            global._corvalinBench = {
                window: title => global.get_window_actors().map(a => a.meta_window)
                                      .find(w => w.get_title() === title),
                focus(title) {
                    const w = this.window(title);
                    if (w)
                        imports.ui.main.activateWindow(w);
                    return !!w;
                },
            };
            global._corvalinBench.peer = global.display.connect('notify::focus-window', () => {
                const w = global.display.focus_window;
                imports.gi.Gio.DBus.session.emit_signal(null, '%s', '%s', 'Focus',
                    new imports.gi.GLib.Variant('(s)', [w ? (w.get_title() ?? '') : '']));
            });""" % (PATH, IFACE))

    def eval(self, code):
        ok, result = self.bench.call("org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell",
                                     "Eval", GLib.Variant("(s)", (code,)))
        if not ok:
            raise RuntimeError("Eval: " + result)
        return result

    def ready(self, tail):
        check = "%r.every(t => !!global._corvalinBench.window(t))" % list(self.bench.titles)
        end = time.time() + 20
        while time.time() < end:
            if self.eval(check) == "true":
                return True
            time.sleep(0.1)
        return False

    def phase(self, number):
        def switch(caption):
            sent = time.time()
            self.eval("global._corvalinBench.focus(%r)" % caption)
            return sent
        return switch

    def end_phase(self, switch):
        pass

    def close(self):
        self.eval("global.display.disconnect(global._corvalinBench.peer); delete global._corvalinBench;")


def show(values, digits=1):
    if not values:
        return "n/a"
    return "%.*f / %.*f (%d)" % (digits, statistics.median(values), digits, max(values), len(values))


def main():
    desktop, label, record_file, titles = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
    sys.setswitchinterval(0.0002)  # three threads stamp what they receive
    tail = RecordTail(record_file)
    tail.start()
    bench = Bench(titles)
    driver = (Kwin if desktop == "kwin" else Gnome)(bench)
    if not driver.ready(tail):
        print("not every window came up; the figures below are short of them")
    rows = []
    for number, dwell_ms in enumerate(DWELLS):
        switch = driver.phase(number)
        switch(titles[-1])
        time.sleep(0.5)
        before_lines, before_peer = len(tail.lines), len(bench.events)
        sent = []
        for i in range(40):
            title = titles[i % len(titles)]
            sent.append((switch(title), title))
            time.sleep(dwell_ms / 1000)
        took = (time.time() - sent[0][0]) * 1000
        driver.end_phase(switch)
        time.sleep(1.0)
        lines = [l for l in tail.lines[before_lines:] if l[1].get("title") in titles]
        events = [e for e in bench.events[before_peer:] if e[1] in titles]
        row = {"dwell": dwell_ms, "corvalin": len(lines), "peer": len(events), "took": took}
        if dwell_ms == 100:
            # Only where every switch settles before the next one; a request
            # the compositor did not carry out drops out of the pairing.
            as_lines = [(t, {"title": title}) for t, title in events]
            row["from_request"] = ([(l - t0) * 1000 for t0, l in pair(sent, lines)],
                                   [(e - t0) * 1000 for t0, e in pair(sent, as_lines)])
            row["behind"] = [(l - p) * 1000 for p, l in pair(events, lines)]
        rows.append(row)
    driver.close()

    peer = driver.peer_name
    print(f"Corvalin on {label} (headless), beside {peer} as the peer, one run")
    print(f"{'figure':48} {'Corvalin':>18} {peer:>18}")
    for row in rows:
        print(f"{'switches logged of 40, %d ms dwell' % row['dwell']:48} {row['corvalin']:>18} {row['peer']:>18}")
    for row in rows:
        print(f"{'  40 requests took, ms (%d ms dwell)' % row['dwell']:48} {row['took']:>18.0f}")
    lat_c, lat_p = rows[0]["from_request"]
    print(f"{'latency from request, ms: median / max':48} {show(lat_c):>18} {show(lat_p):>18}")
    print(f"{'Corvalin line - peer event, ms: median / max':48} {show(rows[0]['behind'], 2):>18}")
    print("  (100 ms dwell; line: the record line read through inotify; event: the peer's report received)")


main()
