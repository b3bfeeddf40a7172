// Encodes, sends and has the local account service acknowledge a batch of 1,000 app sessions
// with 5 web sessions each, through the agent's own upload path; then measures what 10,000
// ended sessions waiting for the service cost in memory. Usage: upload_benchmark [rounds]
#include "agent/TrackingStack.h"
#include "auth/AuthController.h"
#include "auth/RefreshTokenController.h"
#include "model/AppSession.h"
#include "model/WebSession.h"
#include "platform/services/net/NetworkURLSession.h"
#include "platform/services/secret/KeychainHelper.h"
#include "platform/desktops/unsupported/UnsupportedDesktop.h"
#include "tracking/SessionBatchController.h"
#include "upload/SessionBatchAPIDispatcher.h"
#include "upload/UserActivityController.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace hourloom;

namespace {

const QString email = QStringLiteral("bench@hourloom.test");
const QString password = QStringLiteral("bench password");

long residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

void fill(SessionBatchProtocol &batch, int appSessions, int webSessionsEach)
{
    for (int i = 0; i < appSessions; ++i) {
        auto session = std::make_shared<AppSession>(QStringLiteral("Application %1").arg(i % 40), QStringLiteral("org.example.app%1").arg(i % 40));
        for (int j = 0; j < webSessionsEach; ++j) {
            auto page = std::make_shared<WebSession>(QStringLiteral("site%1.example.org").arg(j));
            page->end(QDateTime::currentDateTime());
            session->webSessions().append(page);
        }
        session->end(QDateTime::currentDateTime());
        batch.appSessions().append(session);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toUtf8());
    QCoreApplication application(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 10;

    QProcess service;
    service.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../../bin/hourloom-devserver"),
                  {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--user"), email + u':' + password,
                   QStringLiteral("--client"), Configuration::apiClientId() + u':' + Configuration::apiClientSecret()});
    static const QRegularExpression listening(QStringLiteral("listening on (http://127\\.0\\.0\\.1:\\d+)"));
    QByteArray said;
    QUrl root;
    while (root.isEmpty() && service.waitForReadyRead(10000)) {
        said += service.readAllStandardOutput();
        if (const auto match = listening.match(QString::fromUtf8(said)); match.hasMatch())
            root = QUrl(match.captured(1));
    }
    if (root.isEmpty()) {
        std::fprintf(stderr, "hourloom-devserver did not start\n");
        return 1;
    }

    // The agent's own stack; without a Secret Service the tokens stay in memory for this run.
    auto keychain = std::make_shared<KeychainHelper>();
    auto urlSession = std::make_shared<NetworkURLSession>();
    const QUrl tokenURL = Configuration::appendingPath(root, QStringLiteral("/oauth/token"));
    auto auth = QCoro::waitFor(AuthController::make(keychain, urlSession, tokenURL));
    NotificationCenter center;
    const auto sbc = TrackingStack::build({.activations = center,
                                           .workspace = std::make_shared<NoFrontmostWorkspace>(),
                                           .input = std::make_shared<NoInputMonitor>(),
                                           .timerProvider = MainLoopTimer::provider()})
                         .controller;
    auto refresh = std::make_shared<RefreshTokenController>(auth, keychain, urlSession, tokenURL);
    auto dispatcher = std::make_shared<SessionBatchAPIDispatcher>(auth, refresh, root);
    auto scheduler = std::make_shared<UserActivityController>(auth, keychain, sbc, dispatcher, urlSession);
    if (!QCoro::waitFor(auth->logIn(email, password, scheduler)).isSuccess()) {
        std::fprintf(stderr, "could not log in\n");
        return 1;
    }
    scheduler->stopTracking(); // the timer plays no part here

    std::vector<double> milliseconds;
    for (int round = 0; round < rounds; ++round) {
        fill(*sbc->sessionBatch(), 1000, 5);
        QElapsedTimer elapsed;
        elapsed.start();
        QCoro::waitFor(scheduler->uploadSessionBatch());
        milliseconds.push_back(elapsed.nsecsElapsed() / 1e6);
        if (!sbc->sessionBatch()->appSessions().isEmpty()) {
            std::fprintf(stderr, "the service did not accept the batch\n");
            return 1;
        }
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    std::printf("upload of 1,000 app sessions x 5 web sessions (encode, send, store, acknowledge), %d rounds: median %.1f ms, max %.1f ms\n",
                rounds, milliseconds[milliseconds.size() / 2], milliseconds.back());

    const long before = residentKilobytes();
    fill(*sbc->sessionBatch(), 10000, 1);
    const long after = residentKilobytes();
    std::printf("10,000 ended app sessions (1 web session each) waiting: %ld KB more resident memory (%ld KB in all)\n", after - before, after);

    service.terminate();
    service.waitForFinished(5000);
    return 0;
}
