// Corvalin's hot key inside KWin: a global shortcut whose press reaches
// Corvalin over D-Bus, the way its reports do, whatever window has the
// focus.  Loaded when Corvalin binds its hot key, with @SERVICE@, @PATH@,
// @IFACE@, @NAME@ and @KEYS@ replaced; unloaded, and the shortcut taken out
// of KGlobalAccel, when Corvalin lets the key go.
(function () {
    var service = "@SERVICE@", path = "@PATH@", iface = "@IFACE@";
    registerShortcut("@NAME@", "Corvalin: log the window with the focus", "@KEYS@", function () {
        callDBus(service, path, iface, "HotKey");
    });
    callDBus(service, path, iface, "HotKeyReady");
})();
