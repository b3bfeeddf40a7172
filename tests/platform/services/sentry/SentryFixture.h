#pragma once

#include "platform/services/net/NetworkURLSession.h"
#include "platform/services/sentry/SentryClient.h"

#include "support/CountingURLSession.h"
#include "support/DevServerProcess.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace hourloom::test {

// A Sentry client reporting to the local account service under project 42 with key "testkey",
// its crash marker in a private folder.
class SentryFixture : public ::testing::Test {
protected:
    SentryFixture();

    QString dsn() const;
    CrashReportingOptions productionOptions() const;
    // A started client; the previous one, if any, is gone.
    SentryClient &startClient(const CrashReportingOptions &options);
    // Runs the main loop until the client has its answers.
    void waitForDeliveries();
    // What the service received so far: [{"project_id", "sentry_key", "header", "items"}].
    QJsonArray envelopes();
    // The event of an envelope's only item.
    static QJsonObject eventOf(const QJsonValue &envelope);
    // The event of the only envelope received.
    QJsonObject onlyEvent();

    QString markerPath() const { return folder.filePath(QStringLiteral("state/hourloom/crash-marker")); }

    QTemporaryDir folder;
    DevServerProcess server;
    std::shared_ptr<CountingURLSession> session;
    std::shared_ptr<SentryClient> client;
};

} // namespace hourloom::test
