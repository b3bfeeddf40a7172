#pragma once

#include "IdleNotifications.h"
#include "WaylandConnection.h"

struct wl_seat;
struct ext_idle_notifier_v1;
struct ext_idle_notification_v1;
struct org_kde_kwin_idle;
struct org_kde_kwin_idle_timeout;

namespace hourloom {

// Idleness as the compositor notifies it: ext_idle_notifier_v1 where it is offered, else KDE's
// older org_kde_kwin_idle (sway before 1.8 has only that one). The notice comes after the
// threshold without input on the first seat; any input afterwards is the return.
class WaylandIdleNotifier final : public IdleNotifications, public std::enable_shared_from_this<WaylandIdleNotifier> {
public:
    // None when the compositor has no seat or neither protocol.
    static std::shared_ptr<WaylandIdleNotifier> watch(std::shared_ptr<WaylandConnection> connection, double thresholdSeconds);
    ~WaylandIdleNotifier() override;

    // The protocol in use, for diagnostics.
    QString protocol() const;

private:
    WaylandIdleNotifier(std::shared_ptr<WaylandConnection> connection, double thresholdSeconds);
    bool start();

    std::shared_ptr<WaylandConnection> connection_;
    wl_seat *seat_ = nullptr;
    ext_idle_notifier_v1 *notifier_ = nullptr;
    ext_idle_notification_v1 *notification_ = nullptr;
    org_kde_kwin_idle *kdeIdle_ = nullptr;
    org_kde_kwin_idle_timeout *kdeTimeout_ = nullptr;
};

} // namespace hourloom
