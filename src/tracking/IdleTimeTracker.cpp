#include "IdleTimeTracker.h"

namespace hourloom {

std::shared_ptr<EventSourceProtocol> IdleTimeTracker::eventSource;

double IdleTimeTracker::secondsSinceLastInput()
{
    if (!eventSource)
        return 0;
    return eventSource->secondsSinceLastEventType(EventSourceProtocol::hidSystemState, EventSourceProtocol::anyInputEventType);
}

} // namespace hourloom
