// Corvalin's reporter inside KWin (Plasma 5 and 6).  Corvalin loads it over
// D-Bus at start, with @SERVICE@, @PATH@ and @IFACE@ replaced by its own bus
// name, a per-run object path and its report interface, and unloads it at
// exit.  It only reports: activations (a new window's told just before),
// caption changes, windows demanding attention, and removals.
//
// Each name is taken from whichever the running KWin has (clients on
// Plasma 5, windows on 6).  Every value goes as a string, so that no number
// arrives as a double on one version and an int on another.  X11 windows
// under Xwayland carry their XID as windowId; native ones have none.
(function () {
    var service = "@SERVICE@", path = "@PATH@", iface = "@IFACE@";
    function text(v) { return (v === undefined || v === null) ? "" : String(v); }
    function xid(w) {
        var id = w.windowId;
        return (typeof id === "number" && id > 0) ? String(id) : "0";
    }
    // Windows there at the start, and when later ones were added: a window
    // activated within 2 s of being added (or before KWin told its adding)
    // is told as new, just before its activation.
    var initial = {}, addedAt = {}, told = {};
    function report(w) {
        if (!w) {
            callDBus(service, path, iface, "ActiveNone");
            return;
        }
        var id = text(w.internalId);
        if (!told[id]) {
            told[id] = true;
            if (!initial[id] && (addedAt[id] === undefined || Date.now() - addedAt[id] < 2000))
                callDBus(service, path, iface, "Added", id);
        }
        callDBus(service, path, iface, "Active", text(w.caption), text(w.resourceClass),
                 text(w.resourceName), text(w.pid), text(w.internalId), xid(w));
    }
    function watch(w) {
        if (w && w.captionChanged)
            w.captionChanged.connect(function () {
                callDBus(service, path, iface, "Caption", text(w.internalId), text(w.caption));
            });
        // KWin's answer to an activation it refuses: the window demands
        // attention instead.  Told when the mark is set, not when it goes.
        if (w && w.demandsAttentionChanged)
            w.demandsAttentionChanged.connect(function () {
                if (w.demandsAttention)
                    callDBus(service, path, iface, "Attention", text(w.caption), text(w.resourceClass),
                             text(w.resourceName), text(w.pid), text(w.internalId), xid(w));
            });
    }
    var added = workspace.windowAdded || workspace.clientAdded;
    var removed = workspace.windowRemoved || workspace.clientRemoved;
    var activated = workspace.windowActivated || workspace.clientActivated;
    var list = workspace.windowList ? workspace.windowList() : workspace.clientList();
    for (var i = 0; i < list.length; ++i) {
        initial[text(list[i].internalId)] = true;
        watch(list[i]);
    }
    added.connect(function (w) {
        if (w)
            addedAt[text(w.internalId)] = Date.now();
        watch(w);
    });
    removed.connect(function (w) { if (w) callDBus(service, path, iface, "Closed", text(w.internalId)); });
    activated.connect(report);
    report(typeof workspace.activeWindow !== "undefined" ? workspace.activeWindow
                                                         : workspace.activeClient);
})();
