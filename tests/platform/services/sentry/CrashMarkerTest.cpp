// A process that really crashes leaves a marker; the next launch reports it as a fatal event.
#include "SentryFixture.h"

#include "platform/services/sentry/CrashReport.h"

#include <QFile>
#include <QProcess>

#include <csignal>

using namespace hourloom;

namespace {

class CrashMarker_ : public test::SentryFixture {
protected:
    // Runs the probe to its death and answers the marker it left.
    QByteArray crash(const char *how)
    {
        QProcess probe;
        probe.start(QStringLiteral(CRASH_PROBE), {markerPath(), QString::fromLatin1(how)});
        EXPECT_TRUE(probe.waitForFinished(10000));
        EXPECT_EQ(probe.exitStatus(), QProcess::CrashExit) << "the probe must die of the signal, not exit";
        QFile marker(markerPath());
        EXPECT_TRUE(marker.open(QIODevice::ReadOnly)) << "no crash marker";
        return marker.readAll();
    }
};

} // namespace

TEST_F(CrashMarker_, ASegmentationFaultIsSentAtTheNextLaunchAsAFatalEventAndTheMarkerDeleted)
{
    const auto report = CrashReport::parse(crash("segv"));
    ASSERT_TRUE(report);
    EXPECT_EQ(report->signal, SIGSEGV);
    EXPECT_FALSE(report->frames.isEmpty());
    EXPECT_LE(qAbs(report->time.secsTo(QDateTime::currentDateTimeUtc())), 60);

    startClient(productionOptions());
    waitForDeliveries();
    const QJsonObject event = onlyEvent();
    EXPECT_EQ(event.value("level"), "fatal");
    EXPECT_EQ(event.value("environment"), "Production");
    EXPECT_EQ(event.value("release"), "0.1.0");
    EXPECT_EQ(event.value("timestamp"), report->time.toString(Qt::ISODateWithMs));
    const QJsonObject exception = event.value("exception").toObject().value("values").toArray().first().toObject();
    EXPECT_EQ(exception.value("type"), "SIGSEGV");
    const QJsonObject mechanism = exception.value("mechanism").toObject();
    EXPECT_EQ(mechanism.value("type"), "signalhandler");
    EXPECT_EQ(mechanism.value("handled"), false);
    EXPECT_EQ(mechanism.value("meta").toObject().value("signal").toObject().value("number"), SIGSEGV);
    EXPECT_EQ(exception.value("stacktrace").toObject().value("frames").toArray().size(), report->frames.size());
    EXPECT_FALSE(QFile::exists(markerPath()));

    // Sent once: a later launch finds nothing to report.
    startClient(productionOptions());
    waitForDeliveries();
    EXPECT_EQ(envelopes().size(), 1);
}

TEST_F(CrashMarker_, AnAbortIsKeptUntilTheServerHasTakenIt)
{
    const QByteArray marker = crash("abort");
    ASSERT_EQ(CrashReport::parse(marker)->signal, SIGABRT);

    // Not now: a busy server and a rate limit keep the marker for the next launch.
    for (const int status : {503, 429}) {
        server.injectFault({{"endpoint", "/api/42/envelope/"}, {"status", status}});
        startClient(productionOptions());
        waitForDeliveries();
        EXPECT_TRUE(QFile::exists(markerPath())) << status;
    }

    startClient(productionOptions());
    waitForDeliveries();
    EXPECT_EQ(onlyEvent().value("exception").toObject().value("values").toArray().first().toObject().value("type"), "SIGABRT");
    EXPECT_FALSE(QFile::exists(markerPath()));
}

TEST_F(CrashMarker_, AMarkerTheServerRefusesForGoodIsDeleted)
{
    crash("segv");
    server.injectFault({{"endpoint", "/api/42/envelope/"}, {"status", 400}});
    startClient(productionOptions());
    waitForDeliveries();
    EXPECT_FALSE(QFile::exists(markerPath()));
    EXPECT_EQ(envelopes().size(), 0);
}
