#pragma once

#include <QString>

namespace hourloom::MutterIdleMonitor {

// Mutter's idle monitor for the session's own input devices; any session-bus client may ask it.
inline const QString service = QStringLiteral("org.gnome.Mutter.IdleMonitor");
inline const QString corePath = QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core");
inline const QString interface = QStringLiteral("org.gnome.Mutter.IdleMonitor");

} // namespace hourloom::MutterIdleMonitor
