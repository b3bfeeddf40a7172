#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace hourloom::test {

// A private KDE Plasma compositor for tests: a session bus of its own and a headless KWin
// (virtual output, Xwayland) on a Wayland socket of its own, both stopped when it goes away.
// KWin runs from a plain copy of its binary (the installed one carries file capabilities a
// container may not grant) and lets any client fake input.
class KWinDesktop {
public:
    KWinDesktop();
    ~KWinDesktop();
    KWinDesktop(const KWinDesktop &) = delete;
    KWinDesktop &operator=(const KWinDesktop &) = delete;

    // Empty when the desktop is up; otherwise what went wrong.
    const QString &error() const { return error_; }
    // The private session bus, as this process is connected to it.
    QDBusConnection bus() const;
    const QString &busAddress() const { return busAddress_; }
    const QString &waylandDisplay() const { return socket_; }
    // Xwayland's ":N".
    const QString &xDisplay() const { return xDisplay_; }
    // What a Wayland client of this desktop runs with.
    QProcessEnvironment clientEnvironment() const;

    // Starts a Qt window with the desktop file name on the Wayland socket and waits until KWin
    // manages it. False when it does not show.
    bool openWaylandWindow(const QString &desktopFileName);
    // Starts an X program under Xwayland and waits until KWin manages a window of the class.
    bool openXWindow(const QString &program, const QStringList &arguments, const QString &windowClass);
    // Asks KWin to activate the window whose desktop file name or (lower-case) class is given;
    // false when there is none.
    bool activate(const QString &window);
    // Only sends KWin the request to activate the window; returns the name of the script that
    // carries it, to unload later, or empty when KWin refused it.
    QString requestActivation(const QString &window);
    void unloadScript(const QString &name);
    // Moves the pointer through KWin's fake input, as a user's mouse would.
    bool movePointer();

    // Ends KWin, and every window with it; starts a new one on the same bus and socket.
    void stopKWin();
    bool startKWin();

private:
    static QString activation(const QString &window, const QString &marker);
    // Loads a script into KWin and starts it; its name, or empty when KWin refused it.
    QString startScript(const QString &source, bool waitUntilRunning);
    // Runs a script in KWin and unloads it; true once it printed a line starting with the marker,
    // which is then stored in *line.
    bool runScript(const QString &source, const QString &marker, QString *line = nullptr);
    bool hasWindow(const QString &window);

    QTemporaryDir directory_;
    QString busAddress_;
    QString socket_;
    QString xDisplay_;
    QString error_;
    std::unique_ptr<QProcess> bus_;
    std::unique_ptr<QProcess> kwin_;
    QByteArray kwinOutput_;
    std::vector<std::unique_ptr<QProcess>> clients_;
    int scripts_ = 0;
};

} // namespace hourloom::test
