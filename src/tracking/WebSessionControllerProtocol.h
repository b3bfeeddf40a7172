#pragma once

#include "model/AppSessionProtocol.h"

#include <functional>
#include <memory>

namespace hourloom {

// Records the web domains a browser shows as web sessions inside the browser's app session.
class WebSessionControllerProtocol {
public:
    virtual ~WebSessionControllerProtocol() = default;

    virtual std::shared_ptr<AppSessionProtocol> appSession() const = 0;
    // Starts polling the browser; the first poll runs later, from the main loop.
    virtual void startPolling() = 0;
    // Ends the open web session now (dropping it when too short) and stops the poll.
    virtual void stopPolling() = 0;
    // Reopens the app session's last web session and makes its domain the current one.
    virtual void resumeLastWebSession() = 0;
    // Removes the last web session when it has ended and is shorter than the minimum.
    virtual void dropShortWebSession() = 0;
};

using WebSessionControllerClass =
    std::function<std::shared_ptr<WebSessionControllerProtocol>(std::shared_ptr<AppSessionProtocol> appSession)>;

} // namespace hourloom
