#pragma once

#include <QProcess>
#include <QString>

namespace hourloom::test {

// A bus of the test's own (dbus-daemon), never the user's: programs and Qt connections pointed
// at address() meet there. Stopped when it goes away.
class PrivateSessionBus {
public:
    // A session bus, or the bus `configFile` describes (a system bus, say); the daemon, and the
    // services it starts, run in `environment`.
    explicit PrivateSessionBus(const QString &configFile = {},
                               const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus &) = delete;
    PrivateSessionBus &operator=(const PrivateSessionBus &) = delete;

    // Empty when the bus is up; otherwise what went wrong.
    const QString &error() const { return error_; }
    // What DBUS_SESSION_BUS_ADDRESS (or DBUS_SYSTEM_BUS_ADDRESS) holds for a client of this bus.
    const QString &address() const { return address_; }

private:
    QProcess daemon_;
    QString address_;
    QString error_;
};

} // namespace hourloom::test
