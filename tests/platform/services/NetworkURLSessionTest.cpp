// The HTTP client against the local account service.
#include "platform/services/net/NetworkURLSession.h"

#include "support/DevServerProcess.h"

#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

using namespace hourloom;
using hourloom::test::DevServerProcess;

TEST(NetworkURLSession, StatusesAreAnswersAndOnlyLostExchangesAreErrors)
{
    DevServerProcess server;
    NetworkURLSession session;
    URLRequest request;
    request.url = server.url("/api/v1/user_activities");
    request.setValue("application/json", "Content-Type");
    request.setValue("Bearer not-a-token", "Authorization");

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

TEST(NetworkURLSession, AnAnswerThatTricklesInStillEndsAtTheDeadline)
{
    // A peer that sends its status line, then one header byte every 50 ms for 10 s, then the
    // rest of a complete answer.
    QTcpServer peer;
    ASSERT_TRUE(peer.listen(QHostAddress::LocalHost));
    QList<QTcpSocket *> clients;
    QTimer drip;
    QObject::connect(&peer, &QTcpServer::newConnection, [&] {
        QTcpSocket *client = peer.nextPendingConnection();
        client->write("HTTP/1.1 200 OK\r\nX-Slow: ");
        clients.append(client);
    });
    int drops = 0;
    QObject::connect(&drip, &QTimer::timeout, [&] {
        const bool last = ++drops == 200;
        for (QTcpSocket *client : std::as_const(clients))
            client->write(last ? "a\r\nContent-Length: 0\r\n\r\n" : "a");
        if (last)
            drip.stop();
    });
    drip.start(50);

    NetworkURLSession impatient(std::chrono::milliseconds(1000));
    URLRequest request;
    request.url = QUrl(QStringLiteral("http://127.0.0.1:%1/api/v1/user_activities").arg(peer.serverPort()));
    const URLSessionCompletion late = QCoro::waitFor(impatient.uploadTask(request, "{}"));
    EXPECT_TRUE(late.error) << "the time-out restarted with every byte";
    EXPECT_FALSE(late.response);
}
