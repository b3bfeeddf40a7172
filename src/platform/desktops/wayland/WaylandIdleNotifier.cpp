#include "WaylandIdleNotifier.h"

#include "ext-idle-notify-v1-client-protocol.h"
#include "idle-client-protocol.h"

#include <wayland-client.h>

#include <cmath>
#include <limits>

namespace hourloom {
namespace {

uint32_t milliseconds(double seconds)
{
    // A threshold of nothing would make every instant idle: at least a millisecond.
    const double ms = std::round(seconds * 1000.0);
    if (!(ms >= 1))
        return 1;
    return ms >= double(std::numeric_limits<uint32_t>::max()) ? std::numeric_limits<uint32_t>::max() : uint32_t(ms);
}

} // namespace

std::shared_ptr<WaylandIdleNotifier> WaylandIdleNotifier::watch(std::shared_ptr<WaylandConnection> connection, double thresholdSeconds)
{
    std::shared_ptr<WaylandIdleNotifier> notifier(new WaylandIdleNotifier(std::move(connection), thresholdSeconds));
    if (!notifier->start())
        return nullptr;
    notifier->connection_->flush();
    std::weak_ptr<WaylandIdleNotifier> weak = notifier;
    notifier->connection_->addLostHandler([weak] {
        if (const auto self = weak.lock())
            self->lost();
    });
    return notifier;
}

WaylandIdleNotifier::WaylandIdleNotifier(std::shared_ptr<WaylandConnection> connection, double thresholdSeconds)
    : IdleNotifications(thresholdSeconds)
    , connection_(std::move(connection))
{
}

bool WaylandIdleNotifier::start()
{
    seat_ = static_cast<wl_seat *>(connection_->bind(wl_seat_interface, 1));
    if (!seat_)
        return false;
    const uint32_t timeout = milliseconds(thresholdSeconds());
    notifier_ = static_cast<ext_idle_notifier_v1 *>(connection_->bind(ext_idle_notifier_v1_interface, 1));
    if (notifier_) {
        static const ext_idle_notification_v1_listener listener = {
            [](void *self, ext_idle_notification_v1 *) { static_cast<WaylandIdleNotifier *>(self)->idled(); },
            [](void *self, ext_idle_notification_v1 *) { static_cast<WaylandIdleNotifier *>(self)->resumed(); },
        };
        notification_ = ext_idle_notifier_v1_get_idle_notification(notifier_, timeout, seat_);
        ext_idle_notification_v1_add_listener(notification_, &listener, this);
        return true;
    }
    kdeIdle_ = static_cast<org_kde_kwin_idle *>(connection_->bind(org_kde_kwin_idle_interface, 1));
    if (kdeIdle_) {
        static const org_kde_kwin_idle_timeout_listener listener = {
            [](void *self, org_kde_kwin_idle_timeout *) { static_cast<WaylandIdleNotifier *>(self)->idled(); },
            [](void *self, org_kde_kwin_idle_timeout *) { static_cast<WaylandIdleNotifier *>(self)->resumed(); },
        };
        kdeTimeout_ = org_kde_kwin_idle_get_idle_timeout(kdeIdle_, seat_, timeout);
        org_kde_kwin_idle_timeout_add_listener(kdeTimeout_, &listener, this);
        return true;
    }
    return false;
}

WaylandIdleNotifier::~WaylandIdleNotifier()
{
    if (notification_)
        ext_idle_notification_v1_destroy(notification_);
    if (notifier_)
        ext_idle_notifier_v1_destroy(notifier_);
    if (kdeTimeout_)
        org_kde_kwin_idle_timeout_release(kdeTimeout_);
    if (kdeIdle_)
        org_kde_kwin_idle_destroy(kdeIdle_);
    if (seat_)
        wl_seat_destroy(seat_);
}

QString WaylandIdleNotifier::protocol() const
{
    return notifier_ ? QStringLiteral("ext_idle_notifier_v1") : QStringLiteral("org_kde_kwin_idle");
}

} // namespace hourloom
