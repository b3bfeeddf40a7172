// The configuration stops the process it runs in, so these tests run a probe program in a folder
// of their own, beside the document under test.
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct ProbeRun {
    QString out;
    QString err;
    int exitCode = -1;
};

QJsonObject completeDocument()
{
    return {
        {"ROOT_URL", "http://127.0.0.1:8787"}, {"API_CLIENT_ID", "id"}, {"API_CLIENT_SECRET", "secret"},
        {"ENVIRONMENT", "Test"}, {"SENTRY_DSN", "http://key@127.0.0.1/1"}, {"MIN_IDLE_TIME", "60"},
        {"IDLE_POLLING_INTERVAL", "5"}, {"SECONDS_MIN_APP_SESSION", "5"}, {"SECONDS_BETWEEN_API_SENDS", "30"},
        {"SECONDS_MIN_WEB_SESSION", "5"}, {"SECONDS_WEB_POLLING_INTERVAL", "2"}, {"CFBundleShortVersionString", "1.2.3"},
    };
}

// document: the bytes of Info.json, or nothing for a bundle without one.
ProbeRun runProbe(const std::optional<QByteArray> &document, const QStringList &names)
{
    QTemporaryDir bundle;
    const QString probe = bundle.filePath(QStringLiteral("configuration_probe"));
    EXPECT_TRUE(QFile::copy(QStringLiteral(CONFIGURATION_PROBE), probe));
    if (document) {
        QFile info(bundle.filePath(QStringLiteral("Info.json")));
        EXPECT_TRUE(info.open(QIODevice::WriteOnly));
        info.write(*document);
    }
    QProcess process;
    process.start(probe, names);
    EXPECT_TRUE(process.waitForFinished(30000));
    return {QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError()),
            process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1};
}

ProbeRun runProbe(const QJsonObject &document, const QStringList &names)
{
    return runProbe(QJsonDocument(document).toJson(), names);
}

QJsonObject without(QJsonObject document, const QString &key)
{
    document.remove(key);
    return document;
}

QJsonObject with(QJsonObject document, const QString &key, const QJsonValue &value)
{
    document.insert(key, value);
    return document;
}

} // namespace

TEST(ConfigurationProcess, ReadsTheDocumentBesideTheExecutable)
{
    const ProbeRun run = runProbe(completeDocument(), {"ROOT_URL", "SECONDS_BETWEEN_API_SENDS", "version", "racingThreads"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "http://127.0.0.1:8787\n30\n1.2.3\n30 30\n");
}

TEST(ConfigurationProcess, AnUnusableUpdateFeedIsAbsentRatherThanFatal)
{
    const ProbeRun feed = runProbe(with(completeDocument(), "SUFeedURL", "https://hourloom.example/appcast.xml"), {"SUFeedURL"});
    EXPECT_EQ(feed.out, "https://hourloom.example/appcast.xml\n");
    for (const QJsonValue &unusable : {QJsonValue("not a url"), QJsonValue("file:///tmp/appcast.xml"), QJsonValue(3)}) {
        const ProbeRun run = runProbe(with(completeDocument(), "SUFeedURL", unusable), {"SUFeedURL", "version"});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.out, "(none)\n1.2.3\n");
    }
    EXPECT_EQ(runProbe(completeDocument(), {"SUFeedURL"}).out, "(none)\n");
}

TEST(ConfigurationProcess, AMissingOrMalformedDocumentStopsAtFirstUse)
{
    for (const std::optional<QByteArray> &document : {std::optional<QByteArray>(), std::optional<QByteArray>("[1, 2]"),
                                                      std::optional<QByteArray>("not json")}) {
        const ProbeRun run = runProbe(document, {"ENVIRONMENT"});
        EXPECT_NE(run.exitCode, 0);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.startsWith("Fatal error: Config plist file could not be found: file Configuration.cpp"))
            << run.err.toStdString();
    }
}

TEST(ConfigurationProcess, ABadValueStopsWithItsMessageOnlyWhenItIsFirstUsed)
{
    // The values read before the broken one come out; the process then stops naming the key.
    const ProbeRun broken = runProbe(with(completeDocument(), "SECONDS_MIN_WEB_SESSION", " 30"),
                                     {"ROOT_URL", "SECONDS_MIN_APP_SESSION", "SECONDS_MIN_WEB_SESSION", "ENVIRONMENT"});
    EXPECT_NE(broken.exitCode, 0);
    EXPECT_EQ(broken.out, "http://127.0.0.1:8787\n5\n");
    EXPECT_TRUE(broken.err.startsWith("Fatal error: SECONDS_MIN_WEB_SESSION is not a valid number for this environment: file Configuration.cpp"))
        << broken.err.toStdString();

    // A number that parses but makes no sense stops the same way.
    const ProbeRun zeroPeriod = runProbe(with(completeDocument(), "SECONDS_BETWEEN_API_SENDS", "0"), {"SECONDS_BETWEEN_API_SENDS"});
    EXPECT_NE(zeroPeriod.exitCode, 0);
    EXPECT_TRUE(zeroPeriod.err.startsWith("Fatal error: SECONDS_BETWEEN_API_SENDS is not a valid number for this environment: file Configuration.cpp"))
        << zeroPeriod.err.toStdString();

    const ProbeRun numberEntry = runProbe(with(completeDocument(), "MIN_IDLE_TIME", 60), {"MIN_IDLE_TIME"});
    EXPECT_NE(numberEntry.exitCode, 0);
    EXPECT_TRUE(numberEntry.err.contains("MIN_IDLE_TIME is not set in plist for this environment"));

    // A key nobody reads is never noticed.
    const ProbeRun noDsn = runProbe(without(completeDocument(), "SENTRY_DSN"), {"ENVIRONMENT", "ROOT_URL"});
    EXPECT_EQ(noDsn.exitCode, 0);
    EXPECT_EQ(noDsn.out, "Test\nhttp://127.0.0.1:8787\n");
}

TEST(ConfigurationProcess, StartUpMeetsBrokenKeysInTheUploadSchedulersConstructionOrder)
{
    const auto broken = [](const QStringList &keys) {
        QJsonObject document = completeDocument();
        for (const QString &key : keys)
            document.insert(key, "not a number");
        return runProbe(document, {"startUp"});
    };
    const auto stopsAt = [](const ProbeRun &run, const QString &key) {
        EXPECT_NE(run.exitCode, 0);
        EXPECT_TRUE(run.err.startsWith("Fatal error: " + key)) << run.err.toStdString();
    };
    stopsAt(broken({"SECONDS_BETWEEN_API_SENDS", "SECONDS_MIN_APP_SESSION", "IDLE_POLLING_INTERVAL", "MIN_IDLE_TIME"}),
            "SECONDS_BETWEEN_API_SENDS");
    stopsAt(broken({"SECONDS_MIN_APP_SESSION", "IDLE_POLLING_INTERVAL", "MIN_IDLE_TIME"}), "SECONDS_MIN_APP_SESSION");
    stopsAt(broken({"IDLE_POLLING_INTERVAL", "MIN_IDLE_TIME"}), "IDLE_POLLING_INTERVAL");
    stopsAt(runProbe(without(with(completeDocument(), "SECONDS_BETWEEN_API_SENDS", " 30"), "ENVIRONMENT"), {"startUp"}),
            "ENVIRONMENT");

    // A broken web-session key waits for the first browser.
    const ProbeRun webKeys = broken({"SECONDS_MIN_WEB_SESSION", "SECONDS_WEB_POLLING_INTERVAL"});
    EXPECT_EQ(webKeys.exitCode, 0) << webKeys.err.toStdString();
    EXPECT_EQ(webKeys.out, "started\n");
}

TEST(ConfigurationProcess, EndpointsAppendTheirPathToTheRootUrlText)
{
    const ProbeRun run = runProbe(with(completeDocument(), "ROOT_URL", "https://hourloom.example/"), {"tokenEndpoint"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "https://hourloom.example//oauth/token\n");
}
