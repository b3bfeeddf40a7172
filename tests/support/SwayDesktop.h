#pragma once

#include "DesktopDriver.h"
#include "TestProcesses.h"

#include "platform/desktops/wayland/WaylandConnection.h"

#include <QString>
#include <QTemporaryDir>

#include <optional>

struct zwlr_virtual_pointer_manager_v1;
struct zwlr_virtual_pointer_v1;
struct wl_seat;

namespace hourloom::test {

// A private headless sway for tests, with a screen of 1280x800, focus that only moves when asked,
// and three terminals whose app ids are alpha's class, beta's entry and one without an entry.
// sway refuses to run as root: a root test runs it as the system user hourloom-sway (created when
// missing, and kept), with a runtime folder of its own. The test's own clients (the agent's
// connection, foot, wtype, swaymsg) stay root and reach the compositor through the absolute
// socket paths, which root may open whoever owns them.
class SwayDesktop final : public DesktopDriver {
public:
    static inline const QString user = QStringLiteral("hourloom-sway");

    SwayDesktop();
    ~SwayDesktop() override;

    const QString &error() const override { return error_; }
    // Asks sway to focus the window of the app id.
    bool activate(const TestWindow &window) override;
    bool showEmptyDesktop() override;
    // A key typed through a virtual keyboard.
    bool pressKey() override;
    // The test's own mouse on the compositor's seat moves, or clicks where it is.
    bool movePointer() override;
    bool click();
    // WAYLAND_DISPLAY (an absolute path), XDG_RUNTIME_DIR and SWAYSOCK, and no session bus.
    QProcessEnvironment clientEnvironment() const override;
    PlatformBackend services(NotificationCenter &activations, double idleThreshold) override;
    void settle() override;

    // The connection of the last services.
    const std::shared_ptr<WaylandConnection> &connection() const { return connection_; }

private:
    bool prepareUser();
    bool startSway();
    std::optional<QString> swaymsg(const QStringList &arguments) const;

    TestDataHome dataHome_;
    QTemporaryDir directory_;
    QString waylandSocket_;
    QString swaySocket_;
    QString error_;
    ProcessGroup processes_;
    std::shared_ptr<WaylandConnection> connection_;
    std::shared_ptr<WaylandConnection> input_;
    zwlr_virtual_pointer_manager_v1 *pointerManager_ = nullptr;
    wl_seat *seat_ = nullptr;
    zwlr_virtual_pointer_v1 *pointer_ = nullptr;
};

} // namespace hourloom::test
