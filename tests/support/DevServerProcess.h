#pragma once

#include <QHash>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QStringList>
#include <QUrl>

namespace hourloom::test {

// An app session as the local account service stored it: times in its wall-clock text, the
// domains of its web sessions in order and each web session's end time by web session id.
struct StoredAppSession {
    QString appName;
    QString startTime;
    QString endTime;
    QStringList domains;
    QHash<QString, QString> webSessionEnds;
};

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
    qint64 processId() const { return process_.processId(); }
    QUrl rootURL() const;
    QUrl url(const QString &path) const;

    // POST /dev/faults with the given JSON; fails the test unless the service accepts it.
    void injectFault(const QJsonObject &fault);

    // From GET /dev/activities: what the service stored for one user, by app session id, and
    // how many uploads it accepted from everyone. Each fails the test when the service does not
    // answer; the first also when it lists an app session twice.
    QHash<QString, StoredAppSession> storedActivities(const QString &userEmail = email);
    int uploads();

    // What the service printed so far (it must never print a secret).
    QByteArray output();

    // Stops the service: connections to its port are refused until restart().
    void stop();
    // Starts it again on the same port with the same database.
    void restart();

private:
    void start(int port);
    QJsonObject activities();

    QTemporaryDir data_;
    QStringList arguments_;
    QProcess process_;
    QByteArray output_;
    int port_ = -1;
};

} // namespace hourloom::test
