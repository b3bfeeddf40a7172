// Reports every change of the focused window on the session bus, for the Hourloom agent: GNOME
// Shell on Wayland tells ordinary clients nothing about other applications' windows. Each form of
// the extension (legacy/, modules/) wraps this file with the imports of the shells that load it.
//
// It stays enabled while the screen is locked (metadata.json's session-modes): the agent would
// otherwise take each lock for the extension being turned off, and tell the user so.

const BUS_NAME = 'org.hourloom.ShellFocus';
const OBJECT_PATH = '/org/hourloom/ShellFocus';

// appId: the desktop-entry id the shell matched the window to ("org.gnome.Foo.desktop"), or
// "window:N" when it found none. wmClass and wmClassInstance: WM_CLASS for X11 windows, the
// app_id for Wayland ones. pid: 0 when unknown.
const FOCUS_INTERFACE = `
<node>
  <interface name="org.hourloom.ShellFocus">
    <signal name="FocusChanged">
      <arg type="s" name="appId"/>
      <arg type="s" name="wmClass"/>
      <arg type="s" name="wmClassInstance"/>
      <arg type="s" name="title"/>
      <arg type="u" name="pid"/>
    </signal>
    <method name="GetFocus">
      <arg type="s" name="appId" direction="out"/>
      <arg type="s" name="wmClass" direction="out"/>
      <arg type="s" name="wmClassInstance" direction="out"/>
      <arg type="s" name="title" direction="out"/>
      <arg type="u" name="pid" direction="out"/>
    </method>
  </interface>
</node>`;

// Only for the agent's tests: the headless shell does not focus windows as they map, and
// nothing else can focus one from outside.
const TESTING_INTERFACE = `
<node>
  <interface name="org.hourloom.ShellFocus.Testing">
    <method name="Activate">
      <arg type="s" name="appIdOrWmClass" direction="in"/>
      <arg type="b" name="found" direction="out"/>
    </method>
  </interface>
</node>`;

const NO_FOCUS = ['', '', '', '', 0];

function describe(window) {
    if (!window)
        return NO_FOCUS;
    const app = Shell.WindowTracker.get_default().get_window_app(window);
    const pid = window.get_pid();
    return [
        app ? app.get_id() : '',
        window.get_wm_class() || '',
        window.get_wm_class_instance() || '',
        window.get_title() || '',
        pid > 0 ? pid : 0,
    ];
}

class ShellFocus {
    GetFocus() {
        return describe(global.display.focus_window);
    }
}

class Testing {
    Activate(wanted) {
        const tracker = Shell.WindowTracker.get_default();
        for (const actor of global.get_window_actors()) {
            const window = actor.get_meta_window();
            const app = tracker.get_window_app(window);
            if ((app && app.get_id() === wanted) || window.get_wm_class() === wanted) {
                Main.activateWindow(window);
                return true;
            }
        }
        return false;
    }
}

class FocusReporter {
    enable() {
        this._focus = Gio.DBusExportedObject.wrapJSObject(FOCUS_INTERFACE, new ShellFocus());
        this._focus.export(Gio.DBus.session, OBJECT_PATH);
        if (GLib.getenv('HOURLOOM_SHELL_TESTING') === '1') {
            this._testing = Gio.DBusExportedObject.wrapJSObject(TESTING_INTERFACE, new Testing());
            this._testing.export(Gio.DBus.session, OBJECT_PATH);
        }
        this._focusChanged = global.display.connect('notify::focus-window', () => this._report());
        // The name tells the agent the extension is on; it goes when the extension is disabled.
        this._nameId = Gio.bus_own_name_on_connection(Gio.DBus.session, BUS_NAME, Gio.BusNameOwnerFlags.NONE, null, null);
    }

    disable() {
        Gio.bus_unown_name(this._nameId);
        global.display.disconnect(this._focusChanged);
        if (this._testing) {
            this._testing.unexport();
            this._testing = null;
        }
        this._focus.unexport();
        this._focus = null;
    }

    _report() {
        const focus = describe(global.display.focus_window);
        // Focus leaving every window (the last one closed, the overview open) is no application.
        if (focus === NO_FOCUS)
            return;
        this._focus.emit_signal('FocusChanged', new GLib.Variant('(ssssu)', focus));
    }
}
