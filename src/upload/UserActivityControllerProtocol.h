#pragma once

#include <memory>

namespace hourloom {

class SessionBatchControllerProtocol;

// The upload scheduler, as far as a successful login needs it: a fresh batch, then tracking
// and the upload timer.
class UserActivityControllerProtocol {
public:
    virtual ~UserActivityControllerProtocol() = default;

    virtual std::shared_ptr<SessionBatchControllerProtocol> sessionBatchController() const = 0;
    virtual void startTracking() = 0;
    virtual void scheduleUploadTimer() = 0;
};

} // namespace hourloom
