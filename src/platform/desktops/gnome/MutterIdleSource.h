#pragma once

#include "core/ports/EventSourceProtocol.h"

#include <QDBusConnection>

namespace hourloom {

// Seconds since the last user input, from Mutter's idle monitor (GetIdletime). A monitor that
// does not answer in time counts as no idleness, like a desktop without one.
class MutterIdleSource final : public EventSourceProtocol {
public:
    explicit MutterIdleSource(QDBusConnection bus);

    double secondsSinceLastEventType(int sourceState, std::uint32_t eventType) const override;

private:
    QDBusConnection bus_;
};

} // namespace hourloom
