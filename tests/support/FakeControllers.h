#pragma once

#include "auth/AuthControllerProtocol.h"
#include "core/UserDefaults.h"
#include "core/ports/TerminationProtocol.h"
#include "upload/UserActivityControllerProtocol.h"

#include "support/Gate.h"

#include <QList>

namespace hourloom::test {

// The agent's controllers as the user interface meets them.

// Logins end with the result the test chooses, at once or, while the gate is closed, when the
// test opens it.
class FakeAuthController final : public AuthControllerProtocol {
public:
    bool loggedIn() const override { return loggedIn_; }
    void setLoggedIn(bool loggedIn) override
    {
        loggedIn_ = loggedIn;
        UserDefaults::setBoolean(UserDefaults::loggedInKey, loggedIn);
    }

    QCoro::Task<AuthResult> logIn(QString username, QString password, std::shared_ptr<UserActivityControllerProtocol>) override
    {
        logIns.append({username, password});
        co_await gate.pass();
        co_return nextResult;
    }
    bool sessionExpired() const override { return expired; }
    void setSessionExpired(bool) override {}
    QCoro::Task<void> logOut() override { co_return; }
    QCoro::Task<std::optional<QString>> getAccessToken() override { co_return std::nullopt; }
    QCoro::Task<bool> hasAccessToken(std::shared_ptr<KeychainHelperProtocol>, bool) override { co_return false; }
    quint64 loginGeneration() const override { return 0; }
    std::optional<QByteArray> authToken() const override { return std::nullopt; }
    void setAuthToken(std::optional<QByteArray>) override {}
    std::optional<QByteArray> refreshToken() const override { return std::nullopt; }
    void setRefreshToken(std::optional<QByteArray>) override {}
    std::shared_ptr<KeychainHelperProtocol> keychainHelper() const override { return nullptr; }

    struct LogIn {
        QString username;
        QString password;
    };
    QList<LogIn> logIns;
    AuthResult nextResult = AuthResult::success(QStringLiteral("Successfully logged in"));
    Gate gate;
    bool expired = false;

private:
    bool loggedIn_ = false;
};

// Counts log-outs, which end at once or, while the gate is closed, when the test opens it;
// everything else does nothing.
class FakeUserActivityController final : public UserActivityControllerProtocol {
public:
    std::shared_ptr<SessionBatchControllerProtocol> sessionBatchController() const override { return nullptr; }
    std::shared_ptr<AuthControllerProtocol> authController() const override { return auth; }
    QCoro::Task<void> start() override { co_return; }
    QCoro::Task<void> startTracking() override { co_return; }
    void scheduleUploadTimer() override {}
    QCoro::Task<void> uploadSessionBatch() override { co_return; }
    void stopTracking() override {}
    QCoro::Task<void> logOut() override
    {
        ++logOuts;
        co_await logOutGate.pass();
    }

    std::shared_ptr<FakeAuthController> auth = std::make_shared<FakeAuthController>();
    int logOuts = 0;
    Gate logOutGate;
};

class FakeTermination final : public TerminationProtocol {
public:
    void requestTermination() override { ++requests; }
    bool isTerminating() const override { return requests > 0; }
    int requests = 0;
};

} // namespace hourloom::test
