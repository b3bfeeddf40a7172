#include "SentryFixture.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QJsonDocument>

#include <httplib.h>

namespace hourloom::test {

SentryFixture::SentryFixture()
    : session(std::make_shared<CountingURLSession>(std::make_shared<NetworkURLSession>()))
{
}

QString SentryFixture::dsn() const
{
    return QStringLiteral("http://testkey@127.0.0.1:%1/42").arg(server.port());
}

CrashReportingOptions SentryFixture::productionOptions() const
{
    return {dsn(), QStringLiteral("Production"), QStringLiteral("0.1.0")};
}

SentryClient &SentryFixture::startClient(const CrashReportingOptions &options)
{
    client = std::make_shared<SentryClient>(session, markerPath());
    client->start(options);
    return *client;
}

void SentryFixture::waitForDeliveries()
{
    const QDeadlineTimer deadline(10000);
    while (client->pendingDeliveries() > 0 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_EQ(client->pendingDeliveries(), 0) << "the service never answered";
}

QJsonArray SentryFixture::envelopes()
{
    httplib::Client http("127.0.0.1", server.port());
    const auto result = http.Get("/dev/envelopes");
    EXPECT_TRUE(result && result->status == 200);
    if (!result)
        return {};
    return QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object().value("envelopes").toArray();
}

QJsonObject SentryFixture::eventOf(const QJsonValue &envelope)
{
    const QJsonArray items = envelope.toObject().value("items").toArray();
    EXPECT_EQ(items.size(), 1);
    EXPECT_EQ(items.first().toObject().value("header").toObject().value("type"), "event");
    return items.first().toObject().value("payload").toObject();
}

QJsonObject SentryFixture::onlyEvent()
{
    const QJsonArray received = envelopes();
    EXPECT_EQ(received.size(), 1);
    return received.isEmpty() ? QJsonObject() : eventOf(received.first());
}

} // namespace hourloom::test
