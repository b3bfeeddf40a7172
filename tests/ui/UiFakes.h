#pragma once

#include "core/MenuPresentation.h"
#include "core/ports/TerminationProtocol.h"
#include "core/ports/UpdaterProtocol.h"
#include "core/UserDefaults.h"
#include "auth/AuthControllerProtocol.h"
#include "ui/PanelEnvironment.h"
#include "upload/UserActivityControllerProtocol.h"

#include <QList>
#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <qcoro/qcorosignal.h>

namespace hourloom::test {

// A login controller whose logins end with a result the test chooses, at once or when the
// test releases them.
class FakeAuthController final : public QObject, public AuthControllerProtocol {
    Q_OBJECT
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
        if (holdLogIns)
            co_await qCoro(this, &FakeAuthController::released);
        co_return nextResult;
    }
    bool sessionExpired() const override { return sessionExpired_; }
    void setSessionExpired(bool expired) override { sessionExpired_ = expired; }
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
    bool holdLogIns = false;

signals:
    void released();

private:
    bool loggedIn_ = false;
    bool sessionExpired_ = false;
};

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
        co_return;
    }

    std::shared_ptr<FakeAuthController> auth = std::make_shared<FakeAuthController>();
    int logOuts = 0;
};

class FakeTermination final : public TerminationProtocol {
public:
    void requestTermination() override { ++requests; }
    bool isTerminating() const override { return requests > 0; }
    int requests = 0;
};

class FakeUpdater final : public UpdaterProtocol {
public:
    explicit FakeUpdater(bool canCheck) : canCheck_(canCheck) {}
    bool canCheckForUpdates() const override { return canCheck_; }
    void checkForUpdates() override { ++checks; }
    void setCanCheck(bool canCheck)
    {
        canCheck_ = canCheck;
        emit canCheckForUpdatesChanged(canCheck);
    }
    int checks = 0;

private:
    bool canCheck_;
};

// The collaborators of one panel, and the pages it opened.
struct PanelHarness {
    PanelHarness()
    {
        UserDefaults::remove(UserDefaults::userNameKey);
        UserDefaults::remove(UserDefaults::loggedInKey);
    }

    PanelEnvironment environment()
    {
        return PanelEnvironment{presentation, userActivity, termination, [this](const QUrl &url) { openedURLs.append(url); }};
    }

    MenuPresentation presentation;
    std::shared_ptr<FakeUserActivityController> userActivity = std::make_shared<FakeUserActivityController>();
    FakeTermination termination;
    QList<QUrl> openedURLs;
};

// The child widget that assistive tools know by this name.
template <typename Widget = QWidget>
Widget *findByAccessibleName(const QWidget &root, const QString &name)
{
    for (Widget *widget : root.findChildren<Widget *>())
        if (widget->accessibleName() == name)
            return widget;
    return nullptr;
}

} // namespace hourloom::test
