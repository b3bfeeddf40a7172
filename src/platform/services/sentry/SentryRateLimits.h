#pragma once

#include "core/ports/URLSessionProtocol.h"

#include <QDateTime>
#include <QHash>
#include <QString>

namespace hourloom {

// The limits a Sentry server has announced, per data category. While a category is limited,
// its events are dropped rather than queued: a crash reporter must not pile up work for a
// server that asked it to stop. Times come from Clock, so tests move past a limit without
// waiting.
class SentryRateLimits {
public:
    // Reads the limits of an answer: X-Sentry-Rate-Limits on any answer; on a 429 without it,
    // Retry-After (seconds or an HTTP date), else 60 seconds for every category.
    void update(const HTTPURLResponse &response);

    // True while events of the category ("error" for ours) must be dropped.
    bool isLimited(const QString &category) const;

private:
    void limit(const QString &category, const QDateTime &until);
    bool readRateLimitsHeader(const QByteArray &header);

    // The empty category stands for all of them.
    QHash<QString, QDateTime> limitedUntil_;
};

} // namespace hourloom
