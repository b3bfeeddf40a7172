#pragma once

#include "X11Connection.h"
#include "core/ports/EventSourceProtocol.h"

namespace hourloom {

// Seconds since the last user input, from the MIT-SCREEN-SAVER extension. Without the extension
// (or the server) the user never counts as idle.
class X11IdleSource final : public EventSourceProtocol {
public:
    explicit X11IdleSource(std::shared_ptr<X11Connection> connection);

    bool isAvailable() const { return available_; }
    double secondsSinceLastEventType(int sourceState, std::uint32_t eventType) const override;

private:
    std::shared_ptr<X11Connection> connection_;
    bool available_;
};

} // namespace hourloom
