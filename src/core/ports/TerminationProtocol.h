#pragma once

namespace hourloom {

// The application's ordinary termination request: the agent ends the current session and
// uploads it before the process ends.
class TerminationProtocol {
public:
    virtual ~TerminationProtocol() = default;
    virtual void requestTermination() = 0;
    // From the first request on.
    virtual bool isTerminating() const = 0;
};

} // namespace hourloom
