#include "NetworkURLSession.h"

#include <QNetworkReply>
#include <QTimer>

#include <qcoro/qcoronetworkreply.h>

#include <memory>

namespace hourloom {
namespace {

// Why the exchange was cut short by this adapter rather than by the network.
enum class Abandoned { no, answerTooLarge, deadlinePassed };

// Aborts the reply once its answer (declared or received) exceeds the limit. Checked as data
// arrives, so at most one network read more than the limit is ever buffered.
void limitAnswerSize(QNetworkReply *reply, qint64 limit, const std::shared_ptr<Abandoned> &abandoned)
{
    const auto check = [reply, limit, abandoned] {
        const qint64 declared = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
        if (*abandoned == Abandoned::no && (declared > limit || reply->bytesAvailable() > limit)) {
            *abandoned = Abandoned::answerTooLarge;
            reply->abort();
        }
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, check);
    QObject::connect(reply, &QNetworkReply::readyRead, reply, check);
}

} // namespace

NetworkURLSession::NetworkURLSession(std::chrono::milliseconds timeout)
    : timeout_(timeout)
{
}

QCoro::Task<URLSessionCompletion> NetworkURLSession::uploadTask(URLRequest request, QByteArray body)
{
    QNetworkRequest networkRequest(request.url);
    networkRequest.setTransferTimeout(int(timeout_.count()));
    // Qt would follow a redirect to another host with the same header fields, bearer token
    // included, and take that host's answer as this one's.
    networkRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    for (const auto &[field, value] : std::as_const(request.headerFields))
        networkRequest.setRawHeader(field, value);

    const std::unique_ptr<QNetworkReply, QScopedPointerDeleteLater> reply(
        manager_.sendCustomRequest(networkRequest, request.httpMethod, body));
    const auto abandoned = std::make_shared<Abandoned>(Abandoned::no);
    limitAnswerSize(reply.get(), request.maximumAnswerSize, abandoned);
    // The transfer time-out only notices a stall: a server that trickles a byte now and then
    // would hold the exchange forever. The same time also bounds the exchange as a whole.
    QTimer::singleShot(timeout_, reply.get(), [reply = reply.get(), abandoned] {
        if (*abandoned == Abandoned::no && reply->isRunning()) {
            *abandoned = Abandoned::deadlinePassed;
            reply->abort();
        }
    });
    co_await qCoro(reply.get()).waitForFinished();

    URLSessionCompletion completion;
    if (*abandoned == Abandoned::answerTooLarge) {
        completion.error = URLSessionError{QStringLiteral("The answer is larger than %1 bytes").arg(request.maximumAnswerSize)};
        co_return completion;
    }
    if (*abandoned == Abandoned::deadlinePassed) {
        completion.error = URLSessionError{QStringLiteral("The answer took longer than %1 ms").arg(timeout_.count())};
        co_return completion;
    }
    // Qt flags 4xx and 5xx answers as reply errors too (codes from 200 on): those are answers.
    // Network and proxy failures (codes below 200) are transport errors even after a status
    // line arrived, for example a connection dropped in the middle of the body.
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const bool transportFailed = reply->error() != QNetworkReply::NoError && reply->error() < QNetworkReply::ContentAccessDenied;
    if (!status.isValid() || transportFailed) {
        completion.error = URLSessionError{reply->errorString()};
        co_return completion;
    }
    completion.response = HTTPURLResponse{status.toInt(), reply->rawHeaderPairs()};
    if (QByteArray data = reply->readAll(); !data.isEmpty())
        completion.data = std::move(data);
    co_return completion;
}

} // namespace hourloom
