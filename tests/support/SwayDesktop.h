#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace hourloom::test {

// A private headless sway for tests, with a screen of 1280x800 and focus that only moves when
// asked. sway refuses to run as root: a root test runs it as the system user hourloom-sway
// (created when missing, and kept), with a runtime folder of its own. The test's own clients
// (the agent's connection, foot, wtype, swaymsg) stay root and reach the compositor through
// the absolute socket paths, which root may open whoever owns them.
class SwayDesktop {
public:
    static inline const QString user = QStringLiteral("hourloom-sway");

    SwayDesktop();
    ~SwayDesktop();
    SwayDesktop(const SwayDesktop &) = delete;
    SwayDesktop &operator=(const SwayDesktop &) = delete;

    // Empty when the compositor is up; otherwise what went wrong.
    const QString &error() const { return error_; }
    // WAYLAND_DISPLAY (an absolute path), XDG_RUNTIME_DIR and SWAYSOCK of a client of this compositor.
    QProcessEnvironment clientEnvironment() const;

    // Starts a terminal whose windows carry the app id and waits until sway shows it.
    bool openWindow(const QString &appId);
    // Asks sway to focus the window of the app id; this is not user input.
    bool focus(const QString &appId);
    // The app id of the focused window, empty when none has focus.
    QString focusedAppId();
    // Types the text through a virtual keyboard: user input for the compositor.
    bool type(const QString &text);
    // Runs swaymsg with the arguments; its standard output, empty when it failed.
    QString swaymsg(const QStringList &arguments);

private:
    bool prepareUser();
    QString run(const QString &program, const QStringList &arguments);
    QString tailOfLog() const;

    QTemporaryDir directory_;
    QString runtimeDir_;
    QString waylandSocket_;
    QString swaySocket_;
    QString error_;
    std::unique_ptr<QProcess> sway_;
    std::vector<std::unique_ptr<QProcess>> windows_;
};

} // namespace hourloom::test
