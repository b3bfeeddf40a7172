// A process that really crashes leaves a marker; the next launch reports it as a fatal event.
#include "SentryFixture.h"

#include "platform/services/sentry/CrashReport.h"

#include "support/TestFiles.h"

#include <QFile>
#include <QFileInfo>
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
        const auto marker = test::readFile(markerPath());
        EXPECT_TRUE(marker) << "no crash marker";
        return marker.value_or("");
    }

    // What an elfutils tool prints about the file (symbols and notes from the file itself).
    static QString elfutils(const QString &tool, const QStringList &arguments)
    {
        QProcess process;
        process.start(tool, arguments);
        EXPECT_TRUE(process.waitForFinished(60000)) << tool.toStdString();
        return QString::fromLocal8Bit(process.readAllStandardOutput());
    }
};

// The image of the event's debug_meta that holds the address.
QJsonObject imageHolding(const QJsonObject &event, quint64 address)
{
    for (const QJsonValue &value : event.value("debug_meta").toObject().value("images").toArray()) {
        const QJsonObject image = value.toObject();
        const quint64 base = image.value("image_addr").toString().toULongLong(nullptr, 16);
        if (address >= base && address - base < quint64(image.value("image_size").toInteger()))
            return image;
    }
    return {};
}

} // namespace

TEST_F(CrashMarker_, ASegmentationFaultIsSentAtTheNextLaunchAsAFatalEventAnAbortWhenTheServerTakesItAndARefusedMarkerIsDeleted)
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
    const QJsonArray frames = exception.value("stacktrace").toObject().value("frames").toArray();
    EXPECT_EQ(frames.size(), report->frames.size());
    EXPECT_FALSE(QFile::exists(markerPath()));

    // The probe is position-independent: only its image's load address and build id make its
    // frames readable. Resolved with the build's own symbols, they name the functions it died in.
    const QString probe = QFileInfo(QStringLiteral(CRASH_PROBE)).canonicalFilePath();
    QJsonObject probeImage;
    QStringList probeFunctions;
    for (const QJsonValue &frame : frames) {
        const quint64 address = frame.toObject().value("instruction_addr").toString().toULongLong(nullptr, 16);
        const QJsonObject image = imageHolding(event, address);
        ASSERT_FALSE(image.isEmpty()) << "no image for frame " << std::hex << address;
        if (image.value("code_file") != probe)
            continue;
        probeImage = image;
        const QString offset = QStringLiteral("0x") + QString::number(address - image.value("image_addr").toString().toULongLong(nullptr, 16), 16);
        probeFunctions << elfutils("eu-addr2line", {"--functions", "--demangle", "-e", probe, offset}).section('\n', 0, 0);
    }
    const QString notes = elfutils("eu-readelf", {"--notes", probe});
    EXPECT_TRUE(notes.contains("Build ID: " + probeImage.value("code_id").toString()) && probeImage.contains("debug_id")) << notes.toStdString();
    const auto position = [&probeFunctions](const QString &name) {
        return std::find_if(probeFunctions.begin(), probeFunctions.end(), [&name](const QString &function) { return function.contains(name); })
            - probeFunctions.begin();
    };
    EXPECT_LT(position("main"), position("writeThroughNull")) << probeFunctions.join(", ").toStdString();
    EXPECT_LT(position("writeThroughNull"), position("handleFatalSignal")) << probeFunctions.join(", ").toStdString();
    EXPECT_LT(position("handleFatalSignal"), probeFunctions.size()) << probeFunctions.join(", ").toStdString();

    // Sent once: a later launch finds nothing to report.
    startClient(productionOptions());
    waitForDeliveries();
    EXPECT_EQ(envelopes().size(), 1);

    // An abort is kept until the server has taken it.
    ASSERT_EQ(CrashReport::parse(crash("abort"))->signal, SIGABRT);

    // Not now: a busy server and a rate limit keep the marker for the next launch.
    for (const int status : {503, 429}) {
        server.injectFault({{"endpoint", "/api/42/envelope/"}, {"status", status}});
        startClient(productionOptions());
        waitForDeliveries();
        EXPECT_TRUE(QFile::exists(markerPath())) << status;
    }

    startClient(productionOptions());
    waitForDeliveries();
    ASSERT_EQ(envelopes().size(), 2);
    EXPECT_EQ(eventOf(envelopes().last()).value("exception").toObject().value("values").toArray().first().toObject().value("type"), "SIGABRT");
    EXPECT_FALSE(QFile::exists(markerPath()));

    // One the server refuses for good is deleted all the same.
    crash("segv");
    server.injectFault({{"endpoint", "/api/42/envelope/"}, {"status", 400}});
    startClient(productionOptions());
    waitForDeliveries();
    EXPECT_FALSE(QFile::exists(markerPath()));
    EXPECT_EQ(envelopes().size(), 2);
}
