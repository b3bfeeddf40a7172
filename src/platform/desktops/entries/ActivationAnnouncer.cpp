#include "ActivationAnnouncer.h"

namespace hourloom {
namespace {

bool sameApplication(const RunningApplication &a, const RunningApplication &b)
{
    return a.localizedName == b.localizedName && a.bundleIdentifier == b.bundleIdentifier;
}

} // namespace

ActivationAnnouncer::ActivationAnnouncer(NotificationCenter &center)
    : center_(center)
{
}

void ActivationAnnouncer::activated(const RunningApplication &application)
{
    if (known_ && sameApplication(*known_, application))
        return;
    known_ = application;
    center_.post({didActivateApplicationNotification,
                  std::map<QString, std::any>{{applicationUserInfoKey, application}}});
}

std::optional<RunningApplication> ActivationAnnouncer::answered(std::optional<RunningApplication> application)
{
    // Nothing frontmost (an empty desktop, a lock screen): whichever application comes forward
    // next is news, even the one announced before, or a return to it would go unrecorded.
    known_ = application;
    return application;
}

} // namespace hourloom
