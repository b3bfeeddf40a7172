#pragma once

#include "core/ports/TerminationProtocol.h"

#include <qcoro/qcorotask.h>

#include <functional>
#include <memory>

namespace hourloom {

class UserActivityControllerProtocol;

// The application's delegate (a macOS name kept on Linux, see "Names" in docs/ARCHITECTURE.md).
// Takes part in quitting only: the process ends once the current app session has been ended
// and uploaded, whatever the upload's outcome.
class AppDelegate final : public TerminationProtocol, public std::enable_shared_from_this<AppDelegate> {
public:
    // What lets the application end; by default the main loop's quit.
    using TerminationReply = std::function<void()>;

    explicit AppDelegate(TerminationReply replyToApplication = defaultReply());

    std::shared_ptr<UserActivityControllerProtocol> userActivityController;

    // Starts the deferred termination; a request while one is under way changes nothing.
    void requestTermination() override;
    bool isTerminating() const override { return terminating_; }

private:
    static TerminationReply defaultReply();
    QCoro::Task<void> applicationShouldTerminate();

    TerminationReply replyToApplication_;
    bool terminating_ = false;
};

} // namespace hourloom
