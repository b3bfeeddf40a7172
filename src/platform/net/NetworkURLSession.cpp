#include "NetworkURLSession.h"

#include <QNetworkReply>
#include <QTimer>

#include <qcoro/qcoronetworkreply.h>

#include <memory>

namespace hourloom {

NetworkURLSession::NetworkURLSession(std::chrono::milliseconds timeout)
    : timeout_(timeout)
{
}

QCoro::Task<URLSessionCompletion> NetworkURLSession::uploadTask(URLRequest request, QByteArray body)
{
    QNetworkRequest networkRequest(request.url);
    for (const auto &[field, value] : std::as_const(request.headerFields))
        networkRequest.setRawHeader(field, value);

    const std::unique_ptr<QNetworkReply, QScopedPointerDeleteLater> reply(
        manager_.sendCustomRequest(networkRequest, request.httpMethod, body));
    // One deadline for the whole exchange: a time-out that restarts with every byte lets a
    // trickling answer hold a quit or a log-out for minutes.
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, reply.get(), &QNetworkReply::abort);
    deadline.start(timeout_);
    co_await qCoro(reply.get()).waitForFinished();

    URLSessionCompletion completion;
    // Qt flags 4xx and 5xx answers as reply errors too (codes from 200 on): those are answers.
    // Network and proxy failures (codes below 200) are transport errors even after a status
    // line arrived, for example a connection dropped in the middle of the body.
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const bool transportFailed = reply->error() != QNetworkReply::NoError && reply->error() < QNetworkReply::ContentAccessDenied;
    if (!status.isValid() || transportFailed) {
        completion.error = URLSessionError{deadline.isActive() ? reply->errorString() : QStringLiteral("No complete answer in time")};
        co_return completion;
    }
    completion.response = HTTPURLResponse{status.toInt(), reply->rawHeaderPairs()};
    if (QByteArray data = reply->readAll(); !data.isEmpty())
        completion.data = std::move(data);
    co_return completion;
}

} // namespace hourloom
