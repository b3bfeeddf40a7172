#pragma once

#include "agent/HourloomOSXApp.h"
#include "auth/AuthController.h"
#include "auth/RefreshTokenController.h"
#include "core/UserDefaults.h"
#include "model/AppSession.h"
#include "tracking/AppSwitchTracker.h"
#include "tracking/SessionBatchController.h"
#include "upload/SessionBatchAPIDispatcher.h"
#include "upload/UserActivityController.h"

#include "support/FakeApplicationServices.h"
#include "support/FakeClock.h"

#include <QCoreApplication>
#include <QJsonArray>

#include <gtest/gtest.h>

namespace hourloom::test {

// The agent as HourloomOSXApp builds it, on fakes: a clock, timers, a workspace, an in-memory
// credential store and an HTTP client whose answers the test scripts. Each test starts with
// no user defaults and nothing stored.
class InMemoryAgent : public ::testing::Test {
protected:
    static inline const QString email = QStringLiteral("ada@hourloom.test");
    static inline const QString password = QStringLiteral("correct horse");
    static inline const QString accessService = KeychainHelperProtocol::accessTokenService;
    static inline const QString refreshService = KeychainHelperProtocol::refreshTokenService;

    InMemoryAgent()
    {
        for (const QString &key : {UserDefaults::launchedBeforeKey, UserDefaults::deviceIdKey, UserDefaults::loggedInKey, UserDefaults::userNameKey})
            UserDefaults::remove(key);
    }

    // Starts the agent, or starts it again on the same machine.
    void launch()
    {
        app.reset();
        app = QCoro::waitFor(HourloomOSXApp::make(fakes.services, [this] { ++terminationReplies; }));
        QCoreApplication::sendPostedEvents(); // the upload timer is made on the main loop
    }
    AuthResult logIn(const QString &user = email, const QString &secret = password)
    {
        const AuthResult result = QCoro::waitFor(auth().logIn(user, secret, app->userActivityController));
        QCoreApplication::sendPostedEvents();
        return result;
    }
    // `seconds` after the previous step, the desktop activates the application.
    std::shared_ptr<AppSessionProtocol> switchTo(const QString &name, double seconds)
    {
        clock.advance(seconds);
        const std::shared_ptr<AppSessionProtocol> session = std::make_shared<AppSession>(name, QStringLiteral("org.example.") + name);
        fakes.center.post({didActivateApplicationNotification, std::map<QString, std::any>{{applicationUserInfoKey, session}}});
        // On the main loop the activation is delivered, and then what it ended is written to the outbox.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents();
        return session;
    }
    void upload() { QCoro::waitFor(scheduler().uploadSessionBatch()); }
    void storeLogin()
    {
        fakes.keychain->items[{accessService, KeychainHelperProtocol::account()}] = "stored-access";
        fakes.keychain->items[{refreshService, KeychainHelperProtocol::account()}] = "stored-refresh";
    }

    AuthController &auth() const { return static_cast<AuthController &>(*app->authController); }
    UserActivityController &scheduler() const { return static_cast<UserActivityController &>(*app->userActivityController); }
    SessionBatchController &tracking() const { return static_cast<SessionBatchController &>(*scheduler().sessionBatchController()); }
    RefreshTokenController &refresher() const
    {
        return *static_cast<SessionBatchAPIDispatcher &>(*scheduler().apiDispatcher()).refreshTokenController;
    }
    AppSessionList batch() const { return tracking().sessionBatch()->appSessions(); }
    std::optional<QByteArray> stored(const QString &service) const
    {
        return QCoro::waitFor(fakes.keychain->readItem(service, KeychainHelperProtocol::account()));
    }
    qsizetype uploads() const { return service->sent(FakeURLSession::activityPath); }

    // The app sessions the service accepted from exchange `from` on, by id, each as the last
    // accepted upload carried it.
    QHash<QString, QJsonObject> accepted(qsizetype from = 0) const
    {
        QHash<QString, QJsonObject> sessions;
        for (const FakeURLSession::Exchange &exchange : service->exchanges.mid(from)) {
            if (exchange.path() != FakeURLSession::activityPath || exchange.answer.transportFailure || exchange.answer.status / 100 != 2)
                continue;
            for (const QJsonValue &session : exchange.json().value(QLatin1String("user_activities")).toArray())
                sessions.insert(session[QLatin1String("id")].toString(), session.toObject());
        }
        return sessions;
    }
    static QString id(const std::shared_ptr<AppSessionProtocol> &session) { return session->id().toString(QUuid::WithoutBraces); }
    static QString wire(const QDateTime &time) { return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); }
    // "start end name": a session as it went out ending at `end`, and as the service received one.
    static QString span(const std::shared_ptr<AppSessionProtocol> &session, const QDateTime &end)
    {
        return wire(session->startTime()) + u' ' + wire(end) + u' ' + session->appName();
    }
    static QString span(const QJsonObject &received)
    {
        return received[QLatin1String("start_time")].toString() + u' ' + received[QLatin1String("end_time")].toString() + u' '
            + received[QLatin1String("desktop_app_attributes")][QLatin1String("app_name")].toString();
    }
    // Every session arrived with the times it was recorded with.
    void expectArrivedAsRecorded(const QList<std::shared_ptr<AppSessionProtocol>> &ended) const
    {
        const auto sessions = accepted();
        for (const auto &session : ended)
            EXPECT_EQ(span(sessions.value(id(session))), span(session, *session->endTime())) << session->appName().toStdString();
    }

    FakeClock clock{QDateTime::currentDateTime().addDays(-1)};
    FakeApplicationServices fakes;
    const std::shared_ptr<FakeURLSession> service = fakes.urlSession;
    std::unique_ptr<HourloomOSXApp> app;
    int terminationReplies = 0;
};

} // namespace hourloom::test
