#pragma once

#include "core/ports/ApplicationServices.h"

namespace hourloom {

// The agent's services on a Linux desktop: the desktop's backend (X11, or none), the Secret
// Service, Qt's HTTP client, the browser bridge, our Sentry client, the appcast updater and
// XDG autostart.
ApplicationServices linuxApplicationServices(NotificationCenter &workspaceCenter);

} // namespace hourloom
