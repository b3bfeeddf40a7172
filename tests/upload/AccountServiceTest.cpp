// The login, its renewal and an upload against the real local account service, with the tokens
// in a real gnome-keyring: the peers accept the bodies, tokens and times the in-memory tests
// only script.
#include "agent/TrackingStack.h"
#include "auth/AuthController.h"
#include "auth/RefreshTokenController.h"
#include "model/AppSession.h"
#include "platform/services/net/NetworkURLSession.h"
#include "platform/services/secret/KeychainHelper.h"
#include "tracking/SessionBatchController.h"
#include "upload/SessionBatchAPIDispatcher.h"
#include "upload/UserActivityController.h"

#include "support/DevServerProcess.h"
#include "support/FakeClock.h"
#include "support/FakePlatform.h"
#include "support/FakeTimer.h"
#include "support/KeyringSession.h"

#include <QJsonObject>

using namespace hourloom;
using namespace hourloom::test;

namespace {

[[maybe_unused]] auto *const keyring = ::testing::AddGlobalTestEnvironment(new KeyringSession);

QByteArray inKeyring(const QString &service)
{
    return KeyringSession::secretTool({QStringLiteral("lookup"), QStringLiteral("service"), service, QStringLiteral("account"), KeychainHelperProtocol::account()});
}

TEST(AccountService, TakesTheLoginTheRenewalAndTheUploadWithItsTimes)
{
    ASSERT_TRUE(KeyringSession::isReady());
    DevServerProcess server;
    FakeClock clock{QDateTime::currentDateTime().addDays(-1)};
    FakeTimerProvider timers;
    NotificationCenter activations;
    const TrackingStack tracking = TrackingStack::build({.activations = activations, .workspace = std::make_shared<FakeWorkspace>(),
                                                         .input = std::make_shared<FakeEventTracker>(), .timerProvider = timers.provider()});
    tracking.controller->minSessionDuration = 0;
    const auto keychain = std::make_shared<KeychainHelper>();
    const auto network = std::make_shared<NetworkURLSession>();
    const auto auth = QCoro::waitFor(AuthController::make(keychain, network, server.url(QStringLiteral("/oauth/token"))));
    const auto refresh = std::make_shared<RefreshTokenController>(auth, keychain, network, server.url(QStringLiteral("/oauth/token")));
    const auto scheduler = std::make_shared<UserActivityController>(
        auth, keychain, tracking.controller, std::make_shared<SessionBatchAPIDispatcher>(auth, refresh, server.rootURL()), network, timers.provider());

    const AuthResult login = QCoro::waitFor(auth->logIn(DevServerProcess::email, DevServerProcess::password, scheduler));
    ASSERT_TRUE(login.isSuccess()) << login.text().toStdString();
    const QByteArray firstRefresh = inKeyring(KeychainHelperProtocol::refreshTokenService);
    EXPECT_EQ(inKeyring(KeychainHelperProtocol::accessTokenService), auth->authToken());
    EXPECT_EQ(firstRefresh, auth->refreshToken());

    // The service rejects the access token once: one renewal, and the upload goes again.
    const auto editor = std::make_shared<AppSession>(QStringLiteral("Editor"), QStringLiteral("org.example.Editor"));
    tracking.controller->handleAppSwitch(editor);
    clock.advance(30);
    tracking.controller->handleAppSwitch(std::make_shared<AppSession>(QStringLiteral("Files"), QStringLiteral("org.example.Files")));
    server.injectFault(QJsonObject{{"endpoint", "/api/v1/user_activities"}, {"count", 1}, {"status", 401}});
    QCoro::waitFor(scheduler->uploadSessionBatch());
    const StoredAppSession stored = server.storedActivities().value(editor->id().toString(QUuid::WithoutBraces));
    EXPECT_EQ(stored.appName, "Editor");
    EXPECT_EQ(stored.startTime, editor->startTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    EXPECT_EQ(stored.endTime, editor->endTime()->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    EXPECT_EQ(inKeyring(KeychainHelperProtocol::accessTokenService), auth->authToken());
    EXPECT_EQ(inKeyring(KeychainHelperProtocol::refreshTokenService), auth->refreshToken());
    EXPECT_NE(auth->refreshToken(), firstRefresh);

    // The renewal revoked the first refresh token.
    auth->setRefreshToken(firstRefresh);
    EXPECT_EQ(QCoro::waitFor(refresh->refreshToken()).error(), AuthenticationError::invalidLoginDetails);
}

} // namespace
