// The configuration stops the process it runs in, so these tests run a probe program in a folder
// of their own, beside the document under test.
#include "support/TestFiles.h"

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

// document: the bytes of Info.json, or nothing for a bundle without one.
ProbeRun runProbeBeside(const std::optional<QByteArray> &document, const QStringList &names)
{
    QTemporaryDir bundle;
    const QString probe = bundle.filePath(QStringLiteral("configuration_probe"));
    EXPECT_TRUE(QFile::copy(QStringLiteral(CONFIGURATION_PROBE), probe));
    EXPECT_TRUE(!document || hourloom::test::writeFile(bundle.filePath(QStringLiteral("Info.json")), *document));
    QProcess process;
    process.start(probe, names);
    EXPECT_TRUE(process.waitForFinished(30000));
    return {QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError()),
            process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1};
}

// A complete document with the changes made (a null value removes the key).
ProbeRun runProbe(const QJsonObject &changes, const QStringList &names)
{
    QJsonObject document{
        {"ROOT_URL", "http://127.0.0.1:8787"}, {"API_CLIENT_ID", "id"}, {"API_CLIENT_SECRET", "secret"},
        {"ENVIRONMENT", "Test"}, {"SENTRY_DSN", "http://key@127.0.0.1/1"}, {"MIN_IDLE_TIME", "60"},
        {"IDLE_POLLING_INTERVAL", "5"}, {"SECONDS_MIN_APP_SESSION", "5"}, {"SECONDS_BETWEEN_API_SENDS", "30"},
        {"SECONDS_MIN_WEB_SESSION", "5"}, {"SECONDS_WEB_POLLING_INTERVAL", "2"}, {"CFBundleShortVersionString", "1.2.3"},
    };
    for (auto change = changes.begin(); change != changes.end(); ++change) {
        if (change->isNull())
            document.remove(change.key());
        else
            document.insert(change.key(), *change);
    }
    return runProbeBeside(QJsonDocument(document).toJson(), names);
}

void expectStop(const ProbeRun &run, const QString &fatalError)
{
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("Fatal error: ") + fatalError)) << run.err.toStdString();
}

} // namespace

TEST(ConfigurationProcess, ReadsTheDocumentBesideTheExecutableEndpointsAppendTheirPathToTheRootUrlTextAndABadFeedIsAbsent)
{
    const ProbeRun run = runProbe(QJsonObject{}, {"ROOT_URL", "SECONDS_BETWEEN_API_SENDS", "version", "racingThreads"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "http://127.0.0.1:8787\n30\n1.2.3\n30 30\n");
    EXPECT_EQ(runProbe({{"ROOT_URL", "https://hourloom.example/"}}, {"tokenEndpoint"}).out, "https://hourloom.example//oauth/token\n");

    // An unusable update feed is absent rather than fatal.
    EXPECT_EQ(runProbe({{"SUFeedURL", "https://hourloom.example/appcast.xml"}}, {"SUFeedURL"}).out, "https://hourloom.example/appcast.xml\n");
    for (const QJsonValue &unusable : {QJsonValue("not a url"), QJsonValue("file:///tmp/appcast.xml"), QJsonValue(3)}) {
        const ProbeRun feedless = runProbe({{"SUFeedURL", unusable}}, {"SUFeedURL", "version"});
        EXPECT_EQ(feedless.exitCode, 0) << feedless.err.toStdString();
        EXPECT_EQ(feedless.out, "(none)\n1.2.3\n");
    }
    EXPECT_EQ(runProbe(QJsonObject{}, {"SUFeedURL"}).out, "(none)\n");
}

TEST(ConfigurationProcess, AMissingOrMalformedDocumentStopsAtFirstUse)
{
    for (const std::optional<QByteArray> &document : {std::optional<QByteArray>(), std::optional<QByteArray>("[1, 2]"),
                                                      std::optional<QByteArray>("not json")}) {
        const ProbeRun run = runProbeBeside(document, {"ENVIRONMENT"});
        EXPECT_TRUE(run.out.isEmpty());
        expectStop(run, "Config plist file could not be found: file Configuration.cpp");
    }
}

TEST(ConfigurationProcess, ABadValueStopsWithItsMessageOnlyWhenItIsFirstUsed)
{
    // The values read before the broken one come out; the process then stops naming the key.
    const ProbeRun broken = runProbe({{"SECONDS_MIN_WEB_SESSION", " 30"}}, {"ROOT_URL", "SECONDS_MIN_APP_SESSION", "SECONDS_MIN_WEB_SESSION", "ENVIRONMENT"});
    EXPECT_EQ(broken.out, "http://127.0.0.1:8787\n5\n");
    expectStop(broken, "SECONDS_MIN_WEB_SESSION is not a valid number for this environment: file Configuration.cpp");
    // A number that parses but makes no sense stops the same way.
    expectStop(runProbe({{"SECONDS_BETWEEN_API_SENDS", "0"}}, {"SECONDS_BETWEEN_API_SENDS"}),
               "SECONDS_BETWEEN_API_SENDS is not a valid number for this environment: file Configuration.cpp");
    expectStop(runProbe({{"MIN_IDLE_TIME", 60}}, {"MIN_IDLE_TIME"}), "MIN_IDLE_TIME is not set in plist for this environment");

    // A key nobody reads is never noticed.
    const ProbeRun noDsn = runProbe({{"SENTRY_DSN", QJsonValue::Null}}, {"ENVIRONMENT", "ROOT_URL"});
    EXPECT_EQ(noDsn.exitCode, 0);
    EXPECT_EQ(noDsn.out, "Test\nhttp://127.0.0.1:8787\n");
}

TEST(ConfigurationProcess, StartUpMeetsBrokenKeysInTheUploadSchedulersConstructionOrder)
{
    const auto startUpWith = [](const QStringList &brokenKeys) {
        QJsonObject changes;
        for (const QString &key : brokenKeys)
            changes.insert(key, "not a number");
        return runProbe(changes, {"startUp"});
    };
    expectStop(startUpWith({"SECONDS_BETWEEN_API_SENDS", "SECONDS_MIN_APP_SESSION", "IDLE_POLLING_INTERVAL", "MIN_IDLE_TIME"}),
               "SECONDS_BETWEEN_API_SENDS");
    expectStop(startUpWith({"SECONDS_MIN_APP_SESSION", "IDLE_POLLING_INTERVAL", "MIN_IDLE_TIME"}), "SECONDS_MIN_APP_SESSION");
    expectStop(startUpWith({"IDLE_POLLING_INTERVAL", "MIN_IDLE_TIME"}), "IDLE_POLLING_INTERVAL");
    expectStop(runProbe({{"SECONDS_BETWEEN_API_SENDS", " 30"}, {"ENVIRONMENT", QJsonValue::Null}}, {"startUp"}), "ENVIRONMENT");

    // A broken web-session key waits for the first browser.
    const ProbeRun webKeys = startUpWith({"SECONDS_MIN_WEB_SESSION", "SECONDS_WEB_POLLING_INTERVAL"});
    EXPECT_EQ(webKeys.exitCode, 0) << webKeys.err.toStdString();
    EXPECT_EQ(webKeys.out, "started\n");
}
