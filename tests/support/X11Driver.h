#pragma once

#include "DesktopDriver.h"
#include "XDesktop.h"

#include "platform/desktops/x11/X11Connection.h"

namespace hourloom::test {

// The private X desktop with its three windows: alpha (xterm -class Alpha), beta (Debian's own
// xterm entry) and gamma (xlogo, without an entry).
class X11Driver final : public DesktopDriver {
public:
    X11Driver();

    const QString &error() const override { return desktop_.error().isEmpty() ? error_ : desktop_.error(); }
    bool activate(const TestWindow &window) override { return desktop_.activate(window.handle); }
    bool showEmptyDesktop() override;
    bool pressKey() override;
    bool movePointer() override;
    bool startFromTheApplications(const QString &entry, const QProcessEnvironment &session) override;
    bool pressEscape() override { return desktop_.xdotool({QStringLiteral("key"), QStringLiteral("Escape")}); }
    QProcessEnvironment clientEnvironment() const override;
    PlatformBackend services(NotificationCenter &activations, double idleThreshold) override;
    void settle() override;

    XDesktop &desktop() { return desktop_; }
    // The connection of the last services.
    const std::shared_ptr<X11Connection> &connection() const { return connection_; }

private:
    TestDataHome dataHome_;
    XDesktop desktop_;
    QString error_;
    std::shared_ptr<X11Connection> connection_;
};

} // namespace hourloom::test
