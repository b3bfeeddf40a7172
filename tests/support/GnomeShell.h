#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace hourloom::test {

// A private headless GNOME Shell on Wayland for tests, with its own session bus, system bus and
// folders, and the agent's shell extension installed and enabled before the shell starts (a shell
// loads extensions only at start). The shell starts slowly: start one per test process.
//
// The constructor points this process at the shell: DBUS_SESSION_BUS_ADDRESS, XDG_DATA_HOME and
// XDG_RUNTIME_DIR are set to the shell's, so it must run before the process first uses D-Bus.
class GnomeShell {
public:
    // extensionBundle: the folder holding gnome-extension/<uuid>, as beside the agent.
    // beforeStart: runs once the folders and buses exist, before the shell starts.
    explicit GnomeShell(const QString &extensionBundle, const std::function<void()> &beforeStart = {});
    ~GnomeShell();
    GnomeShell(const GnomeShell &) = delete;
    GnomeShell &operator=(const GnomeShell &) = delete;

    // Empty when the shell is up with its extension running; otherwise what went wrong.
    const QString &error() const { return error_; }
    // What the extension installer said.
    const QString &installOutput() const { return installOutput_; }
    // XDG_DATA_HOME of the shell and this process: desktop entries go in its applications/.
    QString dataHome() const { return directory_.filePath(QStringLiteral("data")); }
    // The environment a session of this shell gives its applications.
    QProcessEnvironment sessionEnvironment() const;

    // A native Wayland window whose app_id is appId (a small gjs program); false when it did not
    // show up within the bound.
    bool openWaylandWindow(const QString &appId);
    // An X11 program on the shell's Xwayland; false when no window of that WM_CLASS class showed up.
    bool openX11Window(const QString &program, const QStringList &arguments, const QString &wmClass);
    // Focuses the window of that desktop-entry id or WM_CLASS, through the extension's test method.
    bool activate(const QString &appIdOrWmClass);

    // Synthetic input through Mutter's remote desktop: a key press and release, a pointer move.
    bool pressKey(unsigned keysym);
    bool movePointer(double dx, double dy);

    // gsettings on the shell's session: what it printed, none when it failed.
    std::optional<QString> gsettings(const QStringList &arguments);
    // Whether the extension's name has an owner on the shell's bus.
    static bool isExtensionRunning();

private:
    bool startBuses(QProcessEnvironment &environment);
    QProcess *startDaemon(const QStringList &arguments, const QProcessEnvironment &environment, QString *address);
    bool startShell(const QProcessEnvironment &environment);
    bool findXwayland();
    bool startRemoteDesktop();
    QProcess *start(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment);

    QTemporaryDir directory_;
    QString error_;
    QString installOutput_;
    QProcessEnvironment environment_;
    QString xDisplay_;
    QString xAuthority_;
    QString remoteDesktopSession_;
    std::vector<std::unique_ptr<QProcess>> windows_;
    std::unique_ptr<QProcess> shell_;
    std::unique_ptr<QProcess> sessionBus_;
    std::unique_ptr<QProcess> systemBus_;
};

} // namespace hourloom::test
