// The agent's HTTP client against the local account service, and against services that
// redirect, trickle or flood their answers (an update feed's own limit: AppcastUpdaterTest).
#include "platform/services/net/NetworkURLSession.h"

#include "support/DevServerProcess.h"
#include "support/HostileHttpServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

using namespace hourloom;
using hourloom::test::DevServerProcess;
using hourloom::test::HostileHttpServer;

namespace {

// The exchange's completion, or none when it has not completed within a generous bound.
std::optional<URLSessionCompletion> completionWithin(URLSessionProtocol &session, URLRequest request, QByteArray body = "{}")
{
    std::optional<URLSessionCompletion> completion;
    QCoro::Task<void> waiting = session.uploadTask(std::move(request), std::move(body)).then([&completion](URLSessionCompletion done) {
        completion = std::move(done);
    });
    const QDeadlineTimer deadline(30000);
    while (!completion && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    return completion;
}

URLRequest uploadTo(const QUrl &url)
{
    URLRequest request;
    request.url = url;
    request.setValue("application/json", "Content-Type");
    request.setValue("Bearer secret-access-token", "Authorization");
    return request;
}

} // namespace

TEST(NetworkURLSession, StatusesAreAnswersAndOnlyLostExchangesAreErrors)
{
    DevServerProcess server;
    NetworkURLSession session;
    const URLRequest request = uploadTo(server.url("/api/v1/user_activities"));

    // A 401 with an empty body: a response, no data, no error.
    const URLSessionCompletion rejected = QCoro::waitFor(session.uploadTask(request, "{}"));
    EXPECT_FALSE(rejected.error);
    ASSERT_TRUE(rejected.response);
    EXPECT_EQ(rejected.response->statusCode, 401);
    EXPECT_FALSE(rejected.data);

    server.injectFault({{"endpoint", "/api/v1/user_activities"}, {"status", 503}, {"body", "down for maintenance"}});
    const auto unavailable = QCoro::waitFor(session.upload(request, "{}"));
    ASSERT_TRUE(std::holds_alternative<URLSessionResponse>(unavailable));
    EXPECT_EQ(std::get<URLSessionResponse>(unavailable).response->statusCode, 503);
    EXPECT_EQ(std::get<URLSessionResponse>(unavailable).data, "down for maintenance");

    // Twice: Qt resends a request once when a kept-alive connection closes unanswered.
    server.injectFault({{"endpoint", "/api/v1/user_activities"}, {"count", 2}, {"close", true}});
    const URLSessionCompletion dropped = QCoro::waitFor(session.uploadTask(request, "{}"));
    EXPECT_TRUE(dropped.error);
    EXPECT_FALSE(dropped.response);
    EXPECT_FALSE(dropped.data);

    // Only the adapter's own time-out can be shortened.
    NetworkURLSession impatient(std::chrono::milliseconds(200));
    server.injectFault({{"endpoint", "/api/v1/user_activities"}, {"delay_ms", 3000}});
    const auto late = QCoro::waitFor(impatient.upload(request, "{}"));
    EXPECT_TRUE(std::holds_alternative<URLSessionError>(late));
}

TEST(HostileService, ARedirectIsTheAnswerAndNothingGoesToTheOtherHost)
{
    HostileHttpServer elsewhere(HostileHttpServer::Way::answer);
    elsewhere.head = "HTTP/1.1 201 Created\r\nContent-Type: application/json\r\n";
    elsewhere.body = R"({"messages":[{"message":"Stored 0 app sessions and 0 web sessions"}]})";
    for (const QByteArray status : {"301 Moved Permanently", "302 Found", "307 Temporary Redirect", "308 Permanent Redirect"}) {
        HostileHttpServer redirecting(HostileHttpServer::Way::answer);
        redirecting.head = "HTTP/1.1 " + status + "\r\nLocation: " + elsewhere.url("/api/v1/user_activities").toEncoded() + "\r\n";

        NetworkURLSession session;
        const auto completion = completionWithin(session, uploadTo(redirecting.url("/api/v1/user_activities")));
        ASSERT_TRUE(completion) << status.constData();
        ASSERT_TRUE(completion->response) << status.constData();
        EXPECT_EQ(completion->response->statusCode, status.left(3).toInt());
        EXPECT_EQ(redirecting.requests.size(), 1);
    }
    EXPECT_TRUE(elsewhere.requests.isEmpty()) << "the bearer token went to another host: " << elsewhere.requests.value(0).constData();
}

TEST(HostileService, AnswersOverTheLimitAreReadNoFurtherAndFail)
{
    NetworkURLSession session;
    // 100 MB declared and sent; and 100 MB without a declared length.
    for (const bool declared : {true, false}) {
        HostileHttpServer flooding(HostileHttpServer::Way::flood);
        flooding.floodSize = 100 * 1000 * 1000;
        flooding.declareLength = declared;
        const auto completion = completionWithin(session, uploadTo(flooding.url("/oauth/token")));
        ASSERT_TRUE(completion);
        EXPECT_TRUE(completion->error) << "declared " << declared;
        EXPECT_FALSE(completion->data);
        EXPECT_LT(flooding.bodyBytesSent, 20 * 1000 * 1000) << "declared " << declared;
    }

    // Exactly at the limit is still an answer.
    HostileHttpServer atLimit(HostileHttpServer::Way::answer);
    atLimit.body = QByteArray(URLRequest::defaultMaximumAnswerSize, ' ');
    const auto fits = completionWithin(session, uploadTo(atLimit.url("/oauth/token")));
    ASSERT_TRUE(fits);
    EXPECT_FALSE(fits->error);
    EXPECT_EQ(fits->data.value_or(QByteArray()).size(), URLRequest::defaultMaximumAnswerSize);
}

TEST(HostileService, ATrickledAnswerEndsAtTheTimeOut)
{
    HostileHttpServer trickling(HostileHttpServer::Way::trickle);
    NetworkURLSession session(std::chrono::seconds(2));
    const auto completion = completionWithin(session, uploadTo(trickling.url("/api/v1/user_activities")));
    ASSERT_TRUE(completion) << "the exchange went on while bytes kept trickling in";
    EXPECT_TRUE(completion->error);
    EXPECT_FALSE(completion->response);
}
