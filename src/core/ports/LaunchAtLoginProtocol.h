#pragma once

namespace hourloom {

// Starts the agent when the user logs in to the desktop.
class LaunchAtLoginProtocol {
public:
    virtual ~LaunchAtLoginProtocol() = default;
    // False when the registration could not be made.
    virtual bool registerMainApp() = 0;
};

} // namespace hourloom
