#pragma once

#include <QString>

#include <optional>

namespace hourloom {

// What a desktop backend posts to the workspace's notification center each time another
// application becomes frontmost, and the user-info key of its RunningApplication. The texts are
// macOS's (see "Names" in docs/ARCHITECTURE.md): nothing outside the process sees them.
inline const QString didActivateApplicationNotification = QStringLiteral("NSWorkspaceDidActivateApplicationNotification");
inline const QString applicationUserInfoKey = QStringLiteral("NSWorkspaceApplicationKey");

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
