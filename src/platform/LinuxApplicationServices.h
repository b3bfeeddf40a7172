#pragma once

#include "core/ports/ApplicationServices.h"

namespace hourloom {

// The agent's services on a Linux desktop: the desktop backend PlatformBackend chooses for this
// session (GNOME Shell, KWin or a wlroots compositor on Wayland, else X11, else none), the Secret
// Service, Qt's HTTP client, the browser bridge, our Sentry client, the appcast updater, XDG
// autostart and the outbox's SQLite file.
ApplicationServices linuxApplicationServices(NotificationCenter &workspaceCenter);

} // namespace hourloom
