// Corvalin's reporter for GNOME Shell.  The shell gives Wayland clients no
// way to learn which window has the focus, so this signals each change on the
// session bus for Corvalin to log.  It offers nothing that moves the focus.
// This is the ES module GNOME Shell 45 and later loads; the build makes the
// form 43 and 44 load (legacy imports) from it (cmake/gnome_extension.cmake).
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import Meta from 'gi://Meta';
import Shell from 'gi://Shell';

import * as Main from 'resource:///org/gnome/shell/ui/main.js';
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

const OBJECT_PATH = '/example/pellowen/Corvalin';
const INTERFACE_XML = `
<node>
  <interface name="example.pellowen.Corvalin.Focus">
    <!-- Emits FocusChanged for the current focus: Corvalin's proof that
         the extension runs, and its initial state. -->
    <method name="Report"/>
    <!-- Corvalin's hot key, as a GTK accelerator ("<Control><Shift>p"),
         bound in the shell until UnbindHotKey or until the caller leaves
         the bus; each press emits HotKey. -->
    <method name="BindHotKey">
      <arg name="accelerator" type="s" direction="in"/>
      <arg name="bound" type="b" direction="out"/>
    </method>
    <method name="UnbindHotKey"/>
    <signal name="HotKey"/>
    <!-- id 0 and empty fields: no window has the focus.  xid is the X11
         window id of an Xwayland window, else 0. -->
    <signal name="FocusChanged">
      <arg name="id" type="t"/>
      <arg name="title" type="s"/>
      <arg name="wmClass" type="s"/>
      <arg name="appId" type="s"/>
      <arg name="pid" type="u"/>
      <arg name="clientType" type="s"/>
      <arg name="xid" type="t"/>
      <!-- Milliseconds since the user's last key or pointer input, as the
           shell's own idle monitor says at the change; -1 when unknown. -->
      <arg name="idle" type="x"/>
    </signal>
    <signal name="TitleChanged">
      <arg name="id" type="t"/>
      <arg name="title" type="s"/>
    </signal>
    <signal name="WindowClosed">
      <arg name="id" type="t"/>
    </signal>
    <!-- A window the shell marks as demanding attention or urgent: its
         answer to an activation it refuses.  Arguments as FocusChanged's,
         without the idle time. -->
    <signal name="Attention">
      <arg name="id" type="t"/>
      <arg name="title" type="s"/>
      <arg name="wmClass" type="s"/>
      <arg name="appId" type="s"/>
      <arg name="pid" type="u"/>
      <arg name="clientType" type="s"/>
      <arg name="xid" type="t"/>
    </signal>
  </interface>
</node>`;

export default class FocusReporter extends Extension {
    enable() {
        this._dbus = Gio.DBusExportedObject.wrapJSObject(INTERFACE_XML, this);
        this._dbus.export(Gio.DBus.session, OBJECT_PATH);
        this._watched = new Map();  // window -> its 'unmanaged' handler
        this._titleWindow = null;
        this._titleHandler = 0;
        this._focusHandler = global.display.connect('notify::focus-window',
            () => this._focusChanged());
        this._attentionHandlers = ['window-demands-attention', 'window-marked-urgent'].map(
            name => global.display.connect(name, (display, window) => this._attention(window)));
        this._focusChanged();
    }

    disable() {
        this._unbindHotKey();
        global.display.disconnect(this._focusHandler);
        for (const handler of this._attentionHandlers)
            global.display.disconnect(handler);
        this._followTitle(null);
        for (const [window, handler] of this._watched)
            window.disconnect(handler);
        this._watched.clear();
        this._dbus.unexport();
        this._dbus = null;
    }

    BindHotKeyAsync([accelerator], invocation) {
        this._unbindHotKey();
        const settings = this._hotKeySettings();
        settings.set_strv('hot-key', [accelerator]);
        const action = Main.wm.addKeybinding('hot-key', settings, Meta.KeyBindingFlags.NONE,
            Shell.ActionMode.ALL, () => this._emit('HotKey', '()', []));
        const bound = action !== Meta.KeyBindingAction.NONE;
        if (bound) {
            // Corvalin gone without a word (killed): the key goes back.
            this._hotKeyWatch = Gio.bus_watch_name_on_connection(Gio.DBus.session,
                invocation.get_sender(), Gio.BusNameWatcherFlags.NONE, null,
                () => this._unbindHotKey());
        }
        invocation.return_value(new GLib.Variant('(b)', [bound]));
    }

    UnbindHotKey() {
        this._unbindHotKey();
    }

    _unbindHotKey() {
        if (!this._hotKeyWatch)
            return;
        Gio.bus_unwatch_name(this._hotKeyWatch);
        this._hotKeyWatch = 0;
        Main.wm.removeKeybinding('hot-key');
    }

    // The schema ships with the extension, compiled at build time.
    _hotKeySettings() {
        if (!this._settings) {
            const source = Gio.SettingsSchemaSource.new_from_directory(
                this.dir.get_child('schemas').get_path(),
                Gio.SettingsSchemaSource.get_default(), false);
            this._settings = new Gio.Settings({
                settings_schema: source.lookup('org.gnome.shell.extensions.corvalin', true),
            });
        }
        return this._settings;
    }

    Report() {
        this._focusChanged();
    }

    _focusChanged() {
        const window = global.display.focus_window;
        this._followTitle(window);
        if (!window) {
            this._emit('FocusChanged', '(tsssustx)', [0, '', '', '', 0, '', 0, idleTime()]);
            return;
        }
        this._watch(window);
        const x11 = window.get_client_type() === Meta.WindowClientType.X11;
        this._emit('FocusChanged', '(tsssustx)', [
            window.get_id(),
            window.get_title() ?? '',
            window.get_wm_class() ?? '',
            window.get_gtk_application_id() ?? '',
            Math.max(window.get_pid(), 0),
            x11 ? 'x11' : 'wayland',
            x11 ? xidOf(window) : 0,
            idleTime(),
        ]);
    }

    _attention(window) {
        if (!window)
            return;
        const x11 = window.get_client_type() === Meta.WindowClientType.X11;
        this._emit('Attention', '(tsssust)', [
            window.get_id(),
            window.get_title() ?? '',
            window.get_wm_class() ?? '',
            window.get_gtk_application_id() ?? '',
            Math.max(window.get_pid(), 0),
            x11 ? 'x11' : 'wayland',
            x11 ? xidOf(window) : 0,
        ]);
    }

    // Only the focused window's title matters: Corvalin logs titles of
    // focus changes, so following every window would be waste.
    _followTitle(window) {
        if (this._titleWindow === window)
            return;
        if (this._titleWindow)
            this._titleWindow.disconnect(this._titleHandler);
        this._titleWindow = window;
        // An X11 window's title comes in twice (WM_NAME, _NET_WM_NAME): one
        // signal per new title.
        let last = window?.get_title();
        this._titleHandler = window ? window.connect('notify::title', () => {
            const title = window.get_title() ?? '';
            if (title !== last)
                this._emit('TitleChanged', '(ts)', [window.get_id(), title]);
            last = title;
        }) : 0;
    }

    // A window once reported is followed to its end, so that Corvalin can
    // drop it.
    _watch(window) {
        if (this._watched.has(window))
            return;
        this._watched.set(window, window.connect('unmanaged', () => {
            window.disconnect(this._watched.get(window));
            this._watched.delete(window);
            if (this._titleWindow === window)
                this._followTitle(null);
            this._emit('WindowClosed', '(t)', [window.get_id()]);
        }));
    }

    _emit(name, signature, values) {
        this._dbus?.emit_signal(name, new GLib.Variant(signature, values));
    }
}

// Read in the shell itself, where it costs no round trip: Corvalin tells a
// focus change nobody asked for from this.
function idleTime() {
    try {
        const backend = global.backend ?? Meta.get_backend();
        return backend.get_core_idle_monitor().get_idletime();
    } catch (e) {
        return -1;
    }
}

// Mutter describes an X11 window as "0x<xid>" (the window id as hex);
// reading it there costs no round trip to the X server.
function xidOf(window) {
    const match = /^0x([0-9a-f]+)/i.exec(window.get_description() ?? '');
    return match ? parseInt(match[1], 16) : 0;
}
