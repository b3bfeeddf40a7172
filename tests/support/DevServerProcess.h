#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QStringList>
#include <QUrl>

namespace hourloom::test {

// The local account service in a process of its own on a free loopback port, seeded with the
// test configuration's client and two users with the same password, fault injection on,
// passwords hashed at the cheapest cost. Stopped by the destructor.
class DevServerProcess {
public:
    static inline const QString email = QStringLiteral("ada@hourloom.test");
    static inline const QString password = QStringLiteral("correct horse");
    // A second user, for tests of whose time goes where.
    static inline const QString otherEmail = QStringLiteral("grace@hourloom.test");

    // Extra flags go after the defaults (for example "--token-lifetime", "0").
    explicit DevServerProcess(const QStringList &extraArguments = {}, bool faultInjection = true);
    ~DevServerProcess();
    DevServerProcess(const DevServerProcess &) = delete;
    DevServerProcess &operator=(const DevServerProcess &) = delete;

    int port() const { return port_; }
    QUrl rootURL() const;
    QUrl url(const QString &path) const;

    // POST /dev/faults with the given JSON; fails the test unless the service accepts it.
    void injectFault(const QJsonObject &fault);

    // What the service printed so far (it must never print a secret).
    QByteArray output();

    // Stops the service: connections to its port are refused until restart().
    void stop();
    // Starts it again on the same port with the same database.
    void restart();

private:
    void start(int port);

    QTemporaryDir data_;
    QStringList arguments_;
    QProcess process_;
    QByteArray output_;
    int port_ = -1;
};

} // namespace hourloom::test
