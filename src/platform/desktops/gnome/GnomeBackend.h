#pragma once

#include "core/NotificationCenter.h"
#include "platform/desktops/BackendAttempt.h"

#include <QProcessEnvironment>

namespace hourloom {

// GNOME Shell: the focused window from the agent's shell extension, idleness from Mutter's idle
// monitor. Starts whenever GNOME Shell is on the session bus; without the extension
// it says once on standard output (and in the panel) how to enable it, and tracking begins when
// the extension appears.
BackendAttempt startGnomeBackend(NotificationCenter &activations, const QProcessEnvironment &environment);

} // namespace hourloom
