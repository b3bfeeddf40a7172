#pragma once

#include <QString>

namespace hourloom {

// Makes the folder (0700) when it is missing; true when it is, without following a link, a
// folder this user owns that nobody else may enter. A folder that is not is refused, never
// changed: in a shared place such as /tmp another user may have made it first.
bool makePrivateFolder(const QString &path);

// The agent's per-session folder for its lock, socket and the browsers' hand-off:
// $XDG_RUNTIME_DIR/hourloom; without a runtime folder, hourloom-<uid> in the temporary folder
// when it is this user's alone, else $XDG_STATE_HOME/hourloom/run (~/.local/state by default).
// Empty when no private folder can be had.
QString privateRuntimeFolder();

} // namespace hourloom
