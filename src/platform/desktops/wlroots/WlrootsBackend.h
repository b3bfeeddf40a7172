#pragma once

#include "core/NotificationCenter.h"
#include "platform/desktops/BackendAttempt.h"

#include <QProcessEnvironment>

namespace hourloom {

// A wlroots compositor (sway, Hyprland, river, ...) at WAYLAND_DISPLAY: refused when there is no
// Wayland display, it cannot be reached, or it keeps its list of toplevel windows to itself.
BackendAttempt startWlrootsBackend(NotificationCenter &activations, const QProcessEnvironment &environment);

} // namespace hourloom
