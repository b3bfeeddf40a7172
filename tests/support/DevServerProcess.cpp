#include "DevServerProcess.h"

#include "core/Configuration.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <gtest/gtest.h>
#include <httplib.h>

namespace hourloom::test {

DevServerProcess::DevServerProcess(const QStringList &extraArguments, bool faultInjection)
    : arguments_{QStringLiteral("--client"), Configuration::apiClientId() + u':' + Configuration::apiClientSecret(),
                 QStringLiteral("--user"), email + u':' + password,
                 QStringLiteral("--user"), otherEmail + u':' + password,
                 // A database of its own, so that a restart keeps users and tokens.
                 QStringLiteral("--database"), data_.filePath(QStringLiteral("accounts.sqlite")),
                 // The suite signs in hundreds of times; the service's own tests check the real
                 // cost by passing "--password-cost interactive" after this.
                 QStringLiteral("--password-cost"), QStringLiteral("minimal")}
{
    if (faultInjection)
        arguments_.append(QStringLiteral("--enable-fault-injection"));
    arguments_ += extraArguments;
    start(0);
}

void DevServerProcess::restart()
{
    stop();
    output_.clear();
    start(port_);
}

void DevServerProcess::start(int port)
{
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral(HOURLOOM_DEVSERVER), QStringList{QStringLiteral("--port"), QString::number(port)} + arguments_);
    static const QRegularExpression listening(QStringLiteral("listening on http://127\\.0\\.0\\.1:(\\d+)"));
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && process_.state() != QProcess::NotRunning) {
        process_.waitForReadyRead(int(deadline.remainingTime()));
        output_ += process_.readAllStandardOutput();
        if (const auto match = listening.match(QString::fromUtf8(output_)); match.hasMatch()) {
            port_ = match.captured(1).toInt();
            return;
        }
    }
    ADD_FAILURE() << "hourloom-devserver did not start: " << output_.toStdString();
}

DevServerProcess::~DevServerProcess()
{
    stop();
}

void DevServerProcess::stop()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        ADD_FAILURE() << "hourloom-devserver did not stop on SIGTERM";
        process_.kill();
        process_.waitForFinished(5000);
    }
}

QUrl DevServerProcess::rootURL() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port_));
}

QUrl DevServerProcess::url(const QString &path) const
{
    return Configuration::appendingPath(rootURL(), path);
}

void DevServerProcess::injectFault(const QJsonObject &fault)
{
    httplib::Client client("127.0.0.1", port_);
    client.set_connection_timeout(5);
    client.set_read_timeout(5);
    const auto result = client.Post("/dev/faults", QJsonDocument(fault).toJson().toStdString(), "application/json");
    ASSERT_TRUE(result) << "no answer from /dev/faults";
    ASSERT_EQ(result->status, 204) << result->body;
}

QJsonObject DevServerProcess::activities()
{
    httplib::Client client("127.0.0.1", port_);
    const auto result = client.Get("/dev/activities");
    EXPECT_TRUE(result && result->status == 200) << "no list from /dev/activities";
    if (!result)
        return {};
    return QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object();
}

QHash<QString, StoredAppSession> DevServerProcess::storedActivities(const QString &userEmail)
{
    QHash<QString, StoredAppSession> sessions;
    for (const QJsonValue &user : activities().value(QStringLiteral("users")).toArray()) {
        if (user.toObject().value(QStringLiteral("email")).toString() != userEmail)
            continue;
        for (const QJsonValue &value : user.toObject().value(QStringLiteral("user_activities")).toArray()) {
            const QJsonObject session = value.toObject();
            StoredAppSession stored{session.value(QStringLiteral("app_name")).toString(), session.value(QStringLiteral("start_time")).toString(),
                                    session.value(QStringLiteral("end_time")).toString(), {}, {}};
            for (const QJsonValue &webValue : session.value(QStringLiteral("web_sessions")).toArray()) {
                const QJsonObject web = webValue.toObject();
                stored.domains << web.value(QStringLiteral("domain")).toString();
                stored.webSessionEnds.insert(web.value(QStringLiteral("id")).toString(), web.value(QStringLiteral("end_time")).toString());
            }
            const QString id = session.value(QStringLiteral("id")).toString();
            EXPECT_FALSE(sessions.contains(id)) << "stored twice: " << id.toStdString();
            sessions.insert(id, stored);
        }
    }
    return sessions;
}

int DevServerProcess::uploads()
{
    int count = 0;
    for (const QJsonValue &user : activities().value(QStringLiteral("users")).toArray())
        count += user.toObject().value(QStringLiteral("uploads")).toInt();
    return count;
}

QByteArray DevServerProcess::output()
{
    output_ += process_.readAllStandardOutput();
    return output_;
}

} // namespace hourloom::test
