#pragma once

#include "TestProcesses.h"

#include <QProcess>
#include <QRect>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace hourloom::test {

// A private X desktop for tests: Xvfb on a display of its own choosing and the openbox window
// manager, both stopped when the desktop goes away.
class XDesktop {
public:
    enum class WindowManager { openbox, none };

    explicit XDesktop(WindowManager windowManager = WindowManager::openbox);
    ~XDesktop();
    XDesktop(const XDesktop &) = delete;
    XDesktop &operator=(const XDesktop &) = delete;

    // Empty when the desktop is up; otherwise what went wrong.
    const QString &error() const { return error_; }
    // ":N"
    const QString &display() const { return display_; }

    // Starts a program on the desktop and waits for its first visible window of the given class.
    // Returns the window id as xdotool prints it, or empty on failure.
    QString openWindow(const QString &program, const QStringList &arguments, const QString &windowClass);
    // Makes the window active through the window manager.
    bool activate(const QString &window);
    // Runs xdotool with the arguments on this desktop (bounded in time).
    bool xdotool(const QStringList &arguments);
    // Its standard output, empty when it failed.
    QString xdotoolOutput(const QStringList &arguments);
    // A system tray at the top right: trayer, or stalonetray where the release has no trayer;
    // true once it shows.
    bool startTray();
    // Starts a desktop entry as a menu does (gio launch), but without a startup notification: gio
    // has no display to give one. True once gio has started it.
    static bool launch(const QString &entry, const QProcessEnvironment &environment);
    // The visible windows of a WM_CLASS class (a regular expression), with their geometry.
    QList<std::pair<QString, QRect>> windowsOfClass(const QString &windowClass);

    // Kills the X server at once, as when the display goes away under its clients.
    void killServer();

    // Runs the main loop until the condition holds or a generous deadline passes.
    static bool spinUntil(const std::function<bool()> &condition, int milliseconds = 10000);
    static void spinFor(int milliseconds);

private:
    QProcessEnvironment environment() const;

    QTemporaryDir directory_;
    QString display_;
    QString error_;
    QProcess server_;
    ProcessGroup clients_;
};

} // namespace hourloom::test
