#pragma once

#include <QString>

#include <optional>

namespace hourloom {

// A running application as the desktop reports it; either value may be unknown.
struct RunningApplication {
    std::optional<QString> localizedName;
    std::optional<QString> bundleIdentifier;
};

// The desktop's answer to "which application is frontmost now".
class WorkspaceProtocol {
public:
    virtual ~WorkspaceProtocol() = default;
    virtual std::optional<RunningApplication> frontmostApplication() const = 0;
};

} // namespace hourloom
