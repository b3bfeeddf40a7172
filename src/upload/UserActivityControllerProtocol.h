#pragma once

#include <qcoro/qcorotask.h>

#include <memory>

namespace hourloom {

class AuthControllerProtocol;
class SessionBatchControllerProtocol;

// Ties tracking to the login and moves the recorded activity to the service on a timer.
class UserActivityControllerProtocol {
public:
    virtual ~UserActivityControllerProtocol() = default;

    virtual std::shared_ptr<SessionBatchControllerProtocol> sessionBatchController() const = 0;
    virtual std::shared_ptr<AuthControllerProtocol> authController() const = 0;

    // At launch: with a stored token, a fresh batch, tracking and the upload timer.
    virtual QCoro::Task<void> start() = 0;
    // Records the frontmost application (when logged in) and observes activations.
    virtual QCoro::Task<void> startTracking() = 0;
    // The repeating upload timer, made on the main loop; its first upload is one period away.
    virtual void scheduleUploadTimer() = 0;
    // One upload of the batch.
    virtual QCoro::Task<void> uploadSessionBatch() = 0;
    // Upload timer, activation observer and batch stopped or emptied.
    virtual void stopTracking() = 0;
    // Ends the current session, uploads once, stops tracking and forgets the login.
    virtual QCoro::Task<void> logOut() = 0;
};

} // namespace hourloom
