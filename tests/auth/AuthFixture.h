#pragma once

#include "auth/AuthController.h"
#include "core/ports/KeychainHelperProtocol.h"
#include "platform/services/net/NetworkURLSession.h"
#include "platform/services/secret/KeychainHelper.h"
#include "tracking/AppSwitchTracker.h"
#include "tracking/IdleTimeController.h"
#include "tracking/SessionBatchController.h"
#include "upload/UserActivityControllerProtocol.h"

#include "support/DevServerProcess.h"
#include "support/FakePlatform.h"
#include "support/FakeTimer.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace hourloom::test {

// Stands in for the upload scheduler: a real session batch controller and a record of what the
// login asked of it.
class RecordingUserActivityController final : public UserActivityControllerProtocol {
public:
    RecordingUserActivityController();

    std::shared_ptr<SessionBatchControllerProtocol> sessionBatchController() const override { return sessionBatchController_; }
    std::shared_ptr<AuthControllerProtocol> authController() const override { return nullptr; }
    QCoro::Task<void> start() override { return record(QStringLiteral("start")); }
    QCoro::Task<void> startTracking() override { return record(QStringLiteral("startTracking")); }
    void scheduleUploadTimer() override { calls.append(QStringLiteral("scheduleUploadTimer")); }
    QCoro::Task<void> uploadSessionBatch() override { return record(QStringLiteral("uploadSessionBatch")); }
    void stopTracking() override { calls.append(QStringLiteral("stopTracking")); }
    QCoro::Task<void> logOut() override { return record(QStringLiteral("logOut")); }

    QStringList calls;

private:
    QCoro::Task<void> record(QString call)
    {
        calls.append(call);
        co_return;
    }

    FakeTimerProvider timers_;
    NotificationCenter notificationCenter_;
    std::shared_ptr<SessionBatchControllerProtocol> sessionBatchController_;
};

// Login and refresh against the local account service on a free port, with the tokens in a
// real gnome-keyring. Every test starts with neither token stored.
class AuthFixture : public ::testing::Test {
protected:
    void SetUp() override;

    std::optional<QByteArray> stored(const QString &service);
    void store(const QByteArray &data, const QString &service);
    AuthResult logIn(const QString &email = DevServerProcess::email, const QString &password = DevServerProcess::password);
    // The activity endpoint's status for a request with this bearer token.
    int uploadStatus(const QByteArray &accessToken);
    // A loopback address where nothing listens.
    static QUrl refusingEndpoint();

    DevServerProcess server;
    std::shared_ptr<KeychainHelper> keychain = std::make_shared<KeychainHelper>();
    std::shared_ptr<NetworkURLSession> urlSession = std::make_shared<NetworkURLSession>();
    std::shared_ptr<RecordingUserActivityController> userActivity = std::make_shared<RecordingUserActivityController>();
    std::shared_ptr<AuthController> auth;
};

} // namespace hourloom::test
