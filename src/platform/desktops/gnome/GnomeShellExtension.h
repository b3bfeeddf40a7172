#pragma once

#include <QString>

namespace hourloom::GnomeShellExtension {

// The extension shipped with the agent (gnome-extension/ in the source tree): it owns busName on
// the session bus while it runs and signals every change of the focused window there.
inline const QString uuid = QStringLiteral("hourloom@hourloom.org");
inline const QString busName = QStringLiteral("org.hourloom.ShellFocus");
inline const QString objectPath = QStringLiteral("/org/hourloom/ShellFocus");
inline const QString interface = QStringLiteral("org.hourloom.ShellFocus");

} // namespace hourloom::GnomeShellExtension
