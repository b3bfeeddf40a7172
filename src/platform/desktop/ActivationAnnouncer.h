#pragma once

#include "app/NotificationCenter.h"
#include "platform/WorkspaceProtocol.h"

namespace hourloom {

// Posts a workspace's activations to the notification center: one for every change of
// application, not of window. The frontmost application a caller was told of counts as
// announced, so it does not come again as a switch.
class ActivationAnnouncer {
public:
    explicit ActivationAnnouncer(NotificationCenter &center)
        : center_(center)
    {
    }

    void announce(const RunningApplication &application);
    void remember(const RunningApplication &application) { last_ = application; }
    const std::optional<RunningApplication> &last() const { return last_; }

private:
    NotificationCenter &center_;
    std::optional<RunningApplication> last_;
};

} // namespace hourloom
