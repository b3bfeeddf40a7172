#pragma once

#include "TestProcesses.h"

#include "core/NotificationCenter.h"
#include "platform/desktops/PlatformBackend.h"

#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

#include <array>

namespace hourloom::test {

// A window a test opened on a desktop, and what the agent should call its application.
struct TestWindow {
    QString handle; // what the desktop activates it by
    QString name;
    QString bundleIdentifier;
};

// One desktop as the shared tracking scenarios drive it. It starts with three windows of three
// applications and the desktop entries of the first two (see writeTestEntries); the last one
// opened is not necessarily frontmost.
class DesktopDriver {
public:
    virtual ~DesktopDriver() = default;

    // Empty when the desktop is up with its windows; otherwise what went wrong.
    virtual const QString &error() const = 0;
    // alpha, beta, gamma.
    const std::array<TestWindow, 3> &windows() const { return windows_; }
    // The desktop's own way to bring a window forward; this is not user input.
    virtual bool activate(const TestWindow &window) = 0;
    // Nothing active (the bare desktop, an empty workspace); false where the desktop cannot.
    virtual bool showEmptyDesktop() { return false; }
    // Input the desktop counts as the user's.
    virtual bool pressKey() = 0;
    virtual bool movePointer() = 0;

    // The user starts a desktop entry from the desktop's applications (its menu, its favourites),
    // in a session of that environment, where startsApplications.
    virtual bool startFromTheApplications(const QString &, const QProcessEnvironment &) { return false; }
    // The user presses Escape.
    virtual bool pressEscape() { return false; }

    // What a client of this desktop runs with.
    virtual QProcessEnvironment clientEnvironment() const = 0;
    // The workspace, idle source and input monitor the agent would use here, each time new; the
    // compositor's idle notice, where it sends one, comes after the threshold.
    virtual PlatformBackend services(NotificationCenter &activations, double idleThreshold) = 0;
    // Everything the desktop had sent the last services is handled, each activation they posted
    // delivered, and what they asked of the desktop (a watch for input) is in place.
    virtual void settle() = 0;

    // How PlatformBackend names the backend that serves this desktop.
    QString backendName;
    // The Wayland idle protocol the agent speaks with this desktop; empty where idleness is not a
    // compositor's notice.
    QString idleProtocol;
    // Whether showEmptyDesktop() can work here.
    bool hasEmptyDesktop = false;
    bool startsApplications = false;
    // Whether the session bus of clientEnvironment() is the desktop's own, started for the tests.
    bool hasOwnSessionBus = false;

protected:
    // Starts the program and waits until activate() finds its window.
    bool openWindow(ProcessGroup &processes, const QString &program, const QStringList &arguments, const QProcessEnvironment &environment,
                    const TestWindow &window);

    // Alpha as an X11 terminal, beta and gamma as Qt windows on Wayland.
    bool openXAndQtWindows(ProcessGroup &processes, const QProcessEnvironment &x11, const QProcessEnvironment &wayland);

    std::array<TestWindow, 3> windows_;
};

// The desktop entries of the test applications, in the applications folder of the data home:
// alpha's found by StartupWMClass=Alpha in a sub-folder, beta's by its file name.
void writeTestEntries(const QString &dataHome);
// What the agent calls a window of those applications, activated by the handle.
TestWindow alphaWindow(const QString &handle);
TestWindow betaWindow(const QString &handle);
// A window of an application without an entry: its app id names it.
TestWindow unlistedWindow(const QString &appId);

// A data home of the test's own with the test entries, where this process looks for the user's
// desktop entries from now on.
class TestDataHome {
public:
    TestDataHome();

private:
    QTemporaryDir directory_;
};

} // namespace hourloom::test
