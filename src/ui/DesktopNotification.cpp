#include "DesktopNotification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QVariantMap>

namespace hourloom {

void notifyUser(QSystemTrayIcon &trayIcon, const QString &summary, const QString &body)
{
    QDBusMessage notify = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
                                                         QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout (-1: the server's).
    notify.setArguments({QStringLiteral("Hourloom"), 0u, QStringLiteral("hourloom"), summary, body, QStringList(),
                         QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("hourloom")}}, -1});
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(notify), &trayIcon);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &trayIcon, [icon = QPointer<QSystemTrayIcon>(&trayIcon), summary, body](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        if (call->isError() && icon && QSystemTrayIcon::supportsMessages())
            icon->showMessage(summary, body, QSystemTrayIcon::Information);
    });
}

} // namespace hourloom
