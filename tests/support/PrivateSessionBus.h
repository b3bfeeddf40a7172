#pragma once

#include <QProcess>
#include <QString>

namespace hourloom::test {

// A session bus of the test's own (dbus-daemon --session), never the user's: programs and Qt
// connections pointed at address() meet there. Stopped when it goes away.
class PrivateSessionBus {
public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus &) = delete;
    PrivateSessionBus &operator=(const PrivateSessionBus &) = delete;

    // Empty when the bus is up; otherwise what went wrong.
    const QString &error() const { return error_; }
    // What DBUS_SESSION_BUS_ADDRESS holds for a client of this bus.
    const QString &address() const { return address_; }

private:
    QProcess daemon_;
    QString address_;
    QString error_;
};

} // namespace hourloom::test
