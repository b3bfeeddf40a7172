#include "model/AppSession.h"
#include "model/DecodingError.h"
#include "model/SessionBatch.h"
#include "model/WebSession.h"

#include "support/FakeClock.h"
#include "support/ScopedTimeZone.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace hourloom;

namespace {

QDateTime local(int hour, int minute, int second, QDate day = QDate(2024, 5, 6))
{
    return QDateTime(day, QTime(hour, minute, second));
}

QJsonObject parse(const QByteArray &json)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << json.toStdString();
    return document.object();
}

} // namespace

TEST(WireFormat, TheExampleBatchEncodesAsDocumentedAnyTextSurvivesTheWriterAndNoPagesAreAnEmptyList)
{
    test::ScopedTimeZone zone("Etc/GMT-2"); // POSIX sign: UTC+02:00
    test::FakeClock clock(local(9, 15, 0));
    auto batch = std::make_shared<SessionBatch>();
    auto browser = std::make_shared<AppSession>(QStringLiteral("Example Browser"), QStringLiteral("org.example.browser"));
    browser->setId(QUuid(QStringLiteral("C3D1F7A0-8E24-4B6A-B9F5-07E1A2D4C6B8")));
    clock.set(local(9, 20, 3));
    auto page = std::make_shared<WebSession>(QStringLiteral("example.org"));
    page->setId(QUuid(QStringLiteral("5b0e6a2c-1d3f-4c8e-9a57-2f6b8d0c4e13")));
    page->end(local(9, 31, 40).addMSecs(999));
    browser->webSessions().append(page);
    batch->appSessions().append(browser);

    clock.set(local(9, 47, 12));
    const QByteArray expected = R"({"timezone_offset":7200,"user_activities":[{"start_time":"2024-05-06 09:15:00","end_time":"2024-05-06 09:47:12","web_sessions_attributes":[{"id":"5b0e6a2c-1d3f-4c8e-9a57-2f6b8d0c4e13","start_time":"2024-05-06 09:20:03","end_time":"2024-05-06 09:31:40","web_domain_attributes":{"domain":"example.org"}}],"id":"c3d1f7a0-8e24-4b6a-b9f5-07e1a2d4c6b8","desktop_app_attributes":{"app_name":"Example Browser","app_identifier":"org.example.browser"}}]})";
    const QByteArray written = batch->encode();
    EXPECT_EQ(parse(written), parse(expected)) << written.toStdString();
    EXPECT_FALSE(written.contains('\n'));
    // The open session goes out ending now, but stays open in memory.
    EXPECT_TRUE(browser->isActive());

    // Any text survives the writer, and no pages are an empty list.
    const QString awkward = QStringLiteral("quote \" backslash \\ newline \n tab \t bell \x07 nul ") + QChar(0)
        + QStringLiteral(" ünïcødé 日本 ") + QString::fromUcs4(U"\U0001F600");
    batch->appSessions() = {std::make_shared<AppSession>(awkward, QStringLiteral("id/with\\slash"))};
    const QJsonObject session = parse(batch->encode()).value("user_activities").toArray().first().toObject();
    EXPECT_EQ(session.value("web_sessions_attributes"), QJsonValue(QJsonArray()));
    const QJsonObject app = session.value("desktop_app_attributes").toObject();
    EXPECT_EQ(app.value("app_name").toString(), awkward);
    EXPECT_EQ(app.value("app_identifier").toString(), "id/with\\slash");
}

TEST(WireFormat, EveryTimeIsWrittenAtTheBodysOffsetAcrossAChangeOfSummerTime)
{
    // Berlin leaves summer time on 2024-10-27 at 01:00 UTC (03:00 summer time becomes 02:00)
    // and enters it on 2024-03-31 at 01:00 UTC (02:00 winter time becomes 03:00).
    test::ScopedTimeZone zone("Europe/Berlin");
    const auto utc = [](QDate day, int hour, int minute) { return QDateTime(day, QTime(hour, minute), QTimeZone::utc()).toUTC(); };
    const QDate autumn(2024, 10, 27);
    test::FakeClock clock(utc(autumn, 0, 30));
    SessionBatch batch;
    auto before = std::make_shared<AppSession>(QStringLiteral("Editor"), QStringLiteral("org.example.Editor"));
    clock.set(utc(autumn, 0, 45));
    before->end(clock.now());
    auto spanning = std::make_shared<AppSession>(QStringLiteral("Browser"), QStringLiteral("org.example.Browser"));
    clock.set(utc(autumn, 0, 50));
    auto page = std::make_shared<WebSession>(QStringLiteral("example.org"));
    page->end(utc(autumn, 1, 10));
    spanning->webSessions().append(page);
    batch.appSessions() = {before, spanning};

    // Sent after the change, the spanning session still open.
    clock.set(utc(autumn, 2, 30));
    const QJsonObject written = parse(batch.encode());
    const qint64 offset = written.value("timezone_offset").toInteger();
    EXPECT_EQ(offset, 3600);
    const QJsonArray sessions = written.value("user_activities").toArray();
    const QJsonObject first = sessions.at(0).toObject();
    const QJsonObject second = sessions.at(1).toObject();
    const QJsonObject web = second.value("web_sessions_attributes").toArray().first().toObject();
    EXPECT_EQ(first.value("start_time").toString(), "2024-10-27 01:30:00");
    EXPECT_EQ(first.value("end_time").toString(), "2024-10-27 01:45:00");
    EXPECT_EQ(second.value("start_time").toString(), "2024-10-27 01:45:00");
    EXPECT_EQ(second.value("end_time").toString(), "2024-10-27 03:30:00");
    EXPECT_EQ(web.value("start_time").toString(), "2024-10-27 01:50:00");
    EXPECT_EQ(web.value("end_time").toString(), "2024-10-27 02:10:00");

    // Into summer time: a start at 01:30 winter time goes out at summer time's offset as 02:30,
    // a wall-clock time that day never showed, but the true instant once 7200 is taken off.
    const QDate spring(2024, 3, 31);
    clock.set(utc(spring, 0, 30));
    batch.appSessions() = {std::make_shared<AppSession>(QStringLiteral("Editor"), QStringLiteral("org.example.Editor"))};
    clock.set(utc(spring, 1, 30));
    const QJsonObject springBody = parse(batch.encode());
    EXPECT_EQ(springBody.value("timezone_offset").toInteger(), 7200);
    const QJsonObject springSession = springBody.value("user_activities").toArray().first().toObject();
    EXPECT_EQ(springSession.value("start_time").toString(), "2024-03-31 02:30:00");
    EXPECT_EQ(springSession.value("end_time").toString(), "2024-03-31 03:30:00");
}

TEST(WireFormat, RecordsReadBackStrictly)
{
    test::ScopedTimeZone zone("Europe/Berlin");
    test::FakeClock clock(local(10, 0, 0));
    const QByteArray body = R"({"timezone_offset":7200,"user_activities":[{"start_time":"2024-05-06 09:15:00","end_time":"not a time","web_sessions_attributes":[{"id":"5B0E6A2C-1D3F-4C8E-9A57-2F6B8D0C4E13","start_time":"2024-05-06 09:20:03","end_time":"2024-05-06 09:31:40","web_domain_attributes":{"domain":"example.org"}}],"id":"c3d1f7a0-8e24-4b6a-b9f5-07e1a2d4c6b8","desktop_app_attributes":{"app_name":"Example Browser","app_identifier":"org.example.browser"}}]})";
    const auto batch = SessionBatch::decode(parse(body));
    ASSERT_EQ(batch->appSessions().size(), 1);
    const auto &session = dynamic_cast<const AppSession &>(*batch->appSessions().first());
    EXPECT_EQ(session.id(), QUuid(QStringLiteral("c3d1f7a0-8e24-4b6a-b9f5-07e1a2d4c6b8")));
    EXPECT_EQ(session.startTime(), local(9, 15, 0));
    EXPECT_TRUE(session.isActive()); // an unreadable end keeps the construction value
    EXPECT_EQ(session.desktopApp(), (DesktopApp{"Example Browser", "org.example.browser"}));
    ASSERT_EQ(session.webSessions().size(), 1);
    EXPECT_EQ(session.webSessions().first()->endTime(), local(9, 31, 40));
    EXPECT_EQ(session.webSessions().first()->webDomain()->domain(), "example.org");

    // Any required member missing or of the wrong type fails the whole read.
    const auto withOneSession = [](const char *id, const char *start, const char *appAttributes) {
        return QByteArray(R"({"timezone_offset":0,"user_activities":[{"start_time":)") + start
            + R"(,"end_time":"2024-05-06 09:15:00","web_sessions_attributes":[],"id":")" + id + '"' + appAttributes + "}]}";
    };
    const char *const uuid = "c3d1f7a0-8e24-4b6a-b9f5-07e1a2d4c6b8";
    const char *const desktopApp = R"(,"desktop_app_attributes":{"app_name":"A","app_identifier":"a"})";
    for (const QByteArray &json : {QByteArray(R"({"user_activities":[]})"), QByteArray(R"({"timezone_offset":"7200","user_activities":[]})"),
                                   QByteArray(R"({"timezone_offset":7200.5,"user_activities":[]})"),
                                   QByteArray(R"({"timezone_offset":0,"user_activities":null})"), withOneSession(uuid, R"("2024-05-06 09:15:00")", ""),
                                   withOneSession("not-a-uuid", R"("2024-05-06 09:15:00")", desktopApp), withOneSession(uuid, "1", desktopApp)})
        EXPECT_THROW(SessionBatch::decode(parse(json)), DecodingError) << json.toStdString();
}
