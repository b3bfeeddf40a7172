#pragma once

#include <QDBusConnection>
#include <QFileInfo>
#include <QProcessEnvironment>

namespace hourloom {

// The session bus of the session an environment describes: its DBUS_SESSION_BUS_ADDRESS, else
// the bus a user service manager keeps in XDG_RUNTIME_DIR. The agent's own connection when that
// is the bus the process itself was started on; never connected when the session has no bus.
inline QDBusConnection sessionBusOf(const QProcessEnvironment &environment)
{
    QString address = environment.value(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    const QString runtimeFolder = environment.value(QStringLiteral("XDG_RUNTIME_DIR"));
    if (address.isEmpty() && !runtimeFolder.isEmpty() && QFileInfo::exists(runtimeFolder + QStringLiteral("/bus")))
        address = QStringLiteral("unix:path=") + runtimeFolder + QStringLiteral("/bus");
    if (address.isEmpty())
        return QDBusConnection(QStringLiteral("hourloom: no session bus"));
    if (address == qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"))
        return QDBusConnection::sessionBus();
    return QDBusConnection::connectToBus(address, QStringLiteral("hourloom session bus ") + address);
}

} // namespace hourloom
