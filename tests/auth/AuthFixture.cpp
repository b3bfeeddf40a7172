#include "AuthFixture.h"

#include "model/AppSession.h"

#include "support/KeyringSession.h"

#include <QTcpServer>

#include <qcoro/qcorotask.h>

namespace hourloom::test {
namespace {

[[maybe_unused]] auto *const keyring = ::testing::AddGlobalTestEnvironment(new KeyringSession);

} // namespace

RecordingUserActivityController::RecordingUserActivityController()
    : sessionBatchController_(std::make_shared<SessionBatchController>(
          std::make_shared<AppSwitchTracker>(notificationCenter_, didActivateApplicationNotification,
                                             applicationUserInfoKey, std::make_shared<FakeWorkspace>()),
          std::make_shared<IdleTimeController>(std::make_shared<FakeEventTracker>(), timers_.provider()), WebSessionControllerClass()))
{
}

void AuthFixture::SetUp()
{
    ASSERT_TRUE(KeyringSession::isReady());
    for (const QString &service : {KeychainHelperProtocol::accessTokenService, KeychainHelperProtocol::refreshTokenService})
        QCoro::waitFor(keychain->deleteItem(service, KeychainHelperProtocol::account()));
    auth = QCoro::waitFor(AuthController::make(keychain, urlSession, server.url(QStringLiteral("/oauth/token"))));
    userActivity->sessionBatchController()->sessionBatch()->setAppSessions({std::make_shared<AppSession>(QStringLiteral("XTerm"), QStringLiteral("debian-xterm"))});
}

std::optional<QByteArray> AuthFixture::stored(const QString &service)
{
    return QCoro::waitFor(keychain->readItem(service, KeychainHelperProtocol::account()));
}

void AuthFixture::store(const QByteArray &data, const QString &service)
{
    QCoro::waitFor(keychain->saveItem(data, service, KeychainHelperProtocol::account()));
}

AuthResult AuthFixture::logIn(const QString &email, const QString &password)
{
    return QCoro::waitFor(auth->logIn(email, password, userActivity));
}

int AuthFixture::uploadStatus(const QByteArray &accessToken)
{
    URLRequest request;
    request.url = server.url(QStringLiteral("/api/v1/user_activities"));
    request.setValue("application/json", "Content-Type");
    request.setValue("Bearer " + accessToken, "Authorization");
    const auto answer = QCoro::waitFor(urlSession->upload(request, R"({"timezone_offset":0,"user_activities":[]})"));
    const auto *response = std::get_if<URLSessionResponse>(&answer);
    return response && response->response ? response->response->statusCode : -1;
}

QUrl AuthFixture::refusingEndpoint()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return QUrl(QStringLiteral("http://127.0.0.1:%1/oauth/token").arg(port));
}

} // namespace hourloom::test
