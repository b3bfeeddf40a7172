#pragma once

#include "SentryDsn.h"
#include "SentryErrorLogger.h"
#include "SentryRateLimits.h"

#include "core/ports/CrashReporterProtocol.h"
#include "core/ports/URLSessionProtocol.h"

#include <QByteArray>

#include <memory>
#include <optional>

namespace hourloom {

// Our own small Sentry client: error events and the crash of an earlier run go to the DSN's
// envelope endpoint. Sending runs as coroutines on the main loop and never blocks it; the
// answer only feeds the rate limits. Until start() (and after a start with a DSN that cannot
// be read) every error is dropped. Make it with std::make_shared, and use it on the main
// thread.
class SentryClient final : public CrashReporterProtocol, public std::enable_shared_from_this<SentryClient> {
public:
    explicit SentryClient(std::shared_ptr<URLSessionProtocol> session, QString crashMarkerPath);

    // Installs the fatal-signal handlers and sends the crash marker an earlier run left.
    void start(const CrashReportingOptions &options) override;
    const ErrorLoggerProtocol &errorLogger() const override;

    // Sends the error as an event, unless reporting is off or the server limits errors now.
    void capture(const ReportableError &error);

    // Envelopes sent whose answer has not arrived yet.
    int pendingDeliveries() const { return pendingDeliveries_; }

private:
    // Sends one envelope; the answer's status, or none when it was not sent or no answer came.
    static QCoro::Task<std::optional<int>> deliver(std::weak_ptr<SentryClient> weakSelf, QByteArray envelope);
    // Sends the marker's crash and deletes the marker once the server has taken it or refused
    // it for good.
    static QCoro::Task<void> reportCrash(std::weak_ptr<SentryClient> weakSelf, QByteArray marker, QString path);
    URLRequest envelopeRequest() const;

    std::shared_ptr<URLSessionProtocol> session_;
    QString crashMarkerPath_;
    SentryErrorLogger errorLogger_{*this};
    CrashReportingOptions options_;
    std::optional<SentryDsn> dsn_;
    SentryRateLimits rateLimits_;
    int pendingDeliveries_ = 0;
};

} // namespace hourloom
