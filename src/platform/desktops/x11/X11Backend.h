#pragma once

#include "core/NotificationCenter.h"
#include "platform/desktops/BackendAttempt.h"

#include <QProcessEnvironment>

namespace hourloom {

// The X11 desktop named by DISPLAY: refused when there is none or it cannot be reached.
BackendAttempt startX11Backend(NotificationCenter &activations, const QProcessEnvironment &environment);

} // namespace hourloom
