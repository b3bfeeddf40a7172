// Reports every change of the focused window to the Hourloom agent over the session bus: GNOME
// Shell on Wayland tells ordinary clients nothing about other applications' windows. Each form of
// the extension (legacy/, modules/) wraps this file with the imports of the shells that load it.
//
// It stays enabled while the screen is locked (metadata.json's session-modes): the agent would
// otherwise take each lock for the extension being turned off, and tell the user so.

const BUS_NAME = 'org.hourloom.ShellFocus';
const OBJECT_PATH = '/org/hourloom/ShellFocus';

// Which window has the focus is the user's own business: the extension tells it to one client
// only, the agent that registered first (Register), and forgets that client when it leaves the
// bus, so an agent started again registers anew. FocusChanged goes to that client alone, and
// GetFocus answers no one else, under whichever of the shell's names it is asked. No window title
// is ever sent: the agent does not need it, and titles say most about what the user does.
//
// appId: the desktop-entry id the shell matched the window to ("org.gnome.Foo.desktop"), or
// "window:N" when it found none. wmClass and wmClassInstance: WM_CLASS for X11 windows, the
// app_id for Wayland ones. pid: 0 when unknown.
const FOCUS_INTERFACE_NAME = 'org.hourloom.ShellFocus';
const FOCUS_INTERFACE = `
<node>
  <interface name="${FOCUS_INTERFACE_NAME}">
    <method name="Register"/>
    <signal name="FocusChanged">
      <arg type="s" name="appId"/>
      <arg type="s" name="wmClass"/>
      <arg type="s" name="wmClassInstance"/>
      <arg type="u" name="pid"/>
    </signal>
    <method name="GetFocus">
      <arg type="s" name="appId" direction="out"/>
      <arg type="s" name="wmClass" direction="out"/>
      <arg type="s" name="wmClassInstance" direction="out"/>
      <arg type="u" name="pid" direction="out"/>
    </method>
  </interface>
</node>`;
const FOCUS_SIGNATURE = '(sssu)';
const ACCESS_DENIED = 'org.freedesktop.DBus.Error.AccessDenied';

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

const NO_FOCUS = ['', '', '', 0];

function describe(window) {
    if (!window)
        return NO_FOCUS;
    const app = Shell.WindowTracker.get_default().get_window_app(window);
    const pid = window.get_pid();
    return [
        app ? app.get_id() : '',
        window.get_wm_class() || '',
        window.get_wm_class_instance() || '',
        pid > 0 ? pid : 0,
    ];
}

class ShellFocus {
    constructor() {
        this._agent = null;
        this._agentWatch = 0;
    }

    get agent() {
        return this._agent;
    }

    RegisterAsync(_parameters, invocation) {
        const sender = invocation.get_sender();
        if (this._agent !== null && this._agent !== sender) {
            invocation.return_dbus_error(ACCESS_DENIED, 'Another client has registered for the focus');
            return;
        }
        if (this._agent === null) {
            this._agent = sender;
            this._agentWatch = Gio.bus_watch_name_on_connection(Gio.DBus.session, sender,
                Gio.BusNameWatcherFlags.NONE, null, () => this.forgetAgent());
        }
        invocation.return_value(null);
    }

    GetFocusAsync(_parameters, invocation) {
        if (this._agent === null || invocation.get_sender() !== this._agent) {
            invocation.return_dbus_error(ACCESS_DENIED, 'Only the registered client may read the focus');
            return;
        }
        invocation.return_value(new GLib.Variant(FOCUS_SIGNATURE, describe(global.display.focus_window)));
    }

    forgetAgent() {
        if (this._agentWatch)
            Gio.bus_unwatch_name(this._agentWatch);
        this._agentWatch = 0;
        this._agent = null;
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
        this._shellFocus = new ShellFocus();
        this._focus = Gio.DBusExportedObject.wrapJSObject(FOCUS_INTERFACE, this._shellFocus);
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
        this._shellFocus.forgetAgent();
        this._shellFocus = null;
    }

    _report() {
        const focus = describe(global.display.focus_window);
        // Focus leaving every window (the last one closed, the overview open) is no application.
        const agent = this._shellFocus.agent;
        if (focus === NO_FOCUS || agent === null)
            return;
        Gio.DBus.session.emit_signal(agent, OBJECT_PATH, FOCUS_INTERFACE_NAME, 'FocusChanged',
            new GLib.Variant(FOCUS_SIGNATURE, focus));
    }
}
