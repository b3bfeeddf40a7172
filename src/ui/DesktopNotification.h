#pragma once

#include <QString>

class QSystemTrayIcon;

namespace hourloom {

// Tells the user something the agent noticed on its own, without taking the focus from the
// application in front: through the desktop's notification service
// (org.freedesktop.Notifications on the session bus), or, where there is none, as a message of
// the tray icon.
void notifyUser(QSystemTrayIcon &trayIcon, const QString &summary, const QString &body);

} // namespace hourloom
