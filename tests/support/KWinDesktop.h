#pragma once

#include "DesktopDriver.h"
#include "PrivateSessionBus.h"
#include "TestProcesses.h"

#include "platform/desktops/wayland/WaylandConnection.h"

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>

struct org_kde_kwin_fake_input;

namespace hourloom::test {

// A private KDE Plasma compositor for tests: a session bus of its own and a headless KWin
// (virtual output, Xwayland) on a Wayland socket of its own, with alpha as an X11 terminal
// (KWin 5 lowers its class) and beta and gamma as Wayland windows. KWin runs from a plain copy of
// its binary (the installed one carries file capabilities a container may not grant) and lets
// any client fake input.
class KWinDesktop final : public DesktopDriver {
public:
    KWinDesktop();
    ~KWinDesktop() override;

    const QString &error() const override { return error_; }
    // The private session bus, as this process is connected to it.
    QDBusConnection bus() const;
    const QString &busAddress() const { return bus_.address(); }
    // Asks KWin to activate the window whose desktop file name or (lower-case) class it is.
    bool activate(const TestWindow &window) override;
    // Through KWin's fake input, as a user's keyboard and mouse would.
    bool pressKey() override;
    bool movePointer() override;
    QProcessEnvironment clientEnvironment() const override;
    PlatformBackend services(NotificationCenter &activations, double idleThreshold) override;
    void settle() override;

    // Loads a script into KWin and waits until it runs. The body may use
    // scriptName, and activateWindow(name): true when it found a window of that desktop file name
    // or (lower-case) class and made it active. Returns the script's name, to unload later, or
    // empty when KWin refused it.
    QString runScript(const QString &body);
    void unloadScript(const QString &name);

    // Ends KWin, and every window with it; starts a new one on the same bus and socket.
    void stopKWin();
    bool startKWin();

private:
    bool fakeInput(const std::function<void(org_kde_kwin_fake_input *)> &send);

    PrivateSessionBus bus_;
    QTemporaryDir directory_;
    TestDataHome dataHome_;
    QString xDisplay_;
    QString error_;
    std::unique_ptr<QProcess> kwin_;
    QByteArray kwinOutput_;
    ProcessGroup clients_;
    std::shared_ptr<WaylandConnection> connection_;
    int scripts_ = 0;
};

} // namespace hourloom::test
