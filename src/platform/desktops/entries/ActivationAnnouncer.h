#pragma once

#include "core/NotificationCenter.h"
#include "core/ports/WorkspaceProtocol.h"

#include <optional>

namespace hourloom {

// Turns what a desktop reports as the active window into application activations on the
// notification center: one post per change of application, not of window. An application the
// tracker already learned of by asking for the frontmost one is not announced again.
class ActivationAnnouncer {
public:
    explicit ActivationAnnouncer(NotificationCenter &center);

    // The active window's application; posted unless it is the one last known.
    void activated(const RunningApplication &application);
    // The frontmost application as the workspace answers it; returned unchanged. It is the one
    // known from now on; when there is none, nothing is.
    std::optional<RunningApplication> answered(std::optional<RunningApplication> application);
    // The application last announced or answered, for desktops that only ever tell of changes.
    const std::optional<RunningApplication> &known() const { return known_; }
    // Nothing is known any more: the next application reported is announced, even the last one.
    void forget() { known_.reset(); }

private:
    NotificationCenter &center_;
    std::optional<RunningApplication> known_;
};

} // namespace hourloom
