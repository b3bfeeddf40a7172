#pragma once

#include "core/NotificationCenter.h"
#include "platform/desktops/BackendAttempt.h"

#include <QProcessEnvironment>

namespace hourloom {

// KDE Plasma on Wayland: refused when no KWin is on the session bus or it refuses the script.
// Idleness comes from the compositor's idle notices where it offers them.
BackendAttempt startKdeBackend(NotificationCenter &activations, const QProcessEnvironment &environment);

} // namespace hourloom
