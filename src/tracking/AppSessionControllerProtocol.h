#pragma once

#include "model/AppSessionProtocol.h"

#include <QDateTime>

#include <functional>
#include <memory>

namespace hourloom {

// Drives the current app session: ends it, and takes over an earlier session to reopen it.
class AppSessionControllerProtocol {
public:
    virtual ~AppSessionControllerProtocol() = default;

    virtual std::shared_ptr<AppSessionProtocol> appSession() const = 0;
    // Ends the app session at the given time, also when it had ended before.
    virtual void endSession(const QDateTime &at) = 0;
    // Makes the given session this controller's and reopens it; nothing happens without one.
    virtual void resumeSession(std::shared_ptr<AppSessionProtocol> session) = 0;
};

using AppSessionControllerType =
    std::function<std::shared_ptr<AppSessionControllerProtocol>(std::shared_ptr<AppSessionProtocol> appSession)>;

} // namespace hourloom
