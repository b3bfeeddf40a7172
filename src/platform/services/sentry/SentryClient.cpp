#include "SentryClient.h"

#include "CrashMarker.h"
#include "CrashReport.h"
#include "SentryEnvelope.h"
#include "SentryEvent.h"
#include "core/Log.h"

#include <QFile>

namespace hourloom {
namespace {

const QString errorCategory = QStringLiteral("error");

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The server has the event, or will never take it: a retry could not change the answer.
// A 429 is only "not now".
bool isFinal(int status)
{
    return (status >= 200 && status < 300) || (status >= 400 && status < 500 && status != 429);
}

} // namespace

SentryClient::SentryClient(std::shared_ptr<URLSessionProtocol> session, QString crashMarkerPath)
    : session_(std::move(session))
    , crashMarkerPath_(std::move(crashMarkerPath))
{
}

void SentryClient::start(const CrashReportingOptions &options)
{
    options_ = options;
    dsn_ = SentryDsn::parse(options.dsn);
    if (!dsn_) {
        logLine(lcErrors, QStringLiteral("Crash reporting is off: the DSN cannot be read"));
        return;
    }
    // The marker is read before the handlers are installed, so a crash while it is being sent
    // leaves a marker of its own.
    const QByteArray marker = readFile(crashMarkerPath_);
    CrashMarker::install(crashMarkerPath_);
    if (!marker.isEmpty())
        reportCrash(weak_from_this(), marker, crashMarkerPath_);
}

const ErrorLoggerProtocol &SentryClient::errorLogger() const
{
    return errorLogger_;
}

void SentryClient::capture(const ReportableError &error)
{
    if (!dsn_)
        return;
    if (const auto envelope = SentryEnvelope::withEvent(SentryEvent::error(error, options_)))
        deliver(weak_from_this(), *envelope);
}

URLRequest SentryClient::envelopeRequest() const
{
    URLRequest request;
    request.url = dsn_->envelopeEndpoint;
    request.setValue("application/x-sentry-envelope", "Content-Type");
    request.setValue(QStringLiteral("Sentry sentry_version=7, sentry_client=%1/%2, sentry_key=%3")
                         .arg(SentryEvent::sdkName, SentryEvent::sdkVersion, dsn_->publicKey)
                         .toUtf8(),
                     "X-Sentry-Auth");
    return request;
}

QCoro::Task<std::optional<int>> SentryClient::deliver(std::weak_ptr<SentryClient> weakSelf, QByteArray envelope)
{
    std::shared_ptr<URLSessionProtocol> session;
    URLRequest request;
    if (const auto self = weakSelf.lock()) {
        if (self->rateLimits_.isLimited(errorCategory))
            co_return std::nullopt;
        session = self->session_;
        request = self->envelopeRequest();
        ++self->pendingDeliveries_;
    } else {
        co_return std::nullopt;
    }

    const URLSessionCompletion completion = co_await session->uploadTask(std::move(request), std::move(envelope));

    const auto self = weakSelf.lock();
    if (!self)
        co_return std::nullopt;
    --self->pendingDeliveries_;
    if (!completion.response)
        co_return std::nullopt;
    self->rateLimits_.update(*completion.response);
    co_return completion.response->statusCode;
}

QCoro::Task<void> SentryClient::reportCrash(std::weak_ptr<SentryClient> weakSelf, QByteArray marker, QString path)
{
    const auto crash = CrashReport::parse(marker);
    if (!crash) {
        // Nothing in it to report, and it would be read again at every launch.
        QFile::remove(path);
        co_return;
    }
    std::optional<QByteArray> envelope;
    if (const auto self = weakSelf.lock())
        envelope = SentryEnvelope::withEvent(SentryEvent::fatal(*crash, self->options_));
    if (!envelope)
        co_return;

    const std::optional<int> status = co_await deliver(weakSelf, *envelope);
    // Only this marker goes: a crash since start-up has written a newer one in its place.
    if (status && isFinal(*status) && readFile(path) == marker)
        QFile::remove(path);
}

} // namespace hourloom
