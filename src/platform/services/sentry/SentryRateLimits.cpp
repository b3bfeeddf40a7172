#include "SentryRateLimits.h"

#include "core/Clock.h"

namespace hourloom {
namespace {

constexpr int defaultRetrySeconds = 60;

} // namespace

void SentryRateLimits::update(const HTTPURLResponse &response)
{
    if (readRateLimitsHeader(response.value("X-Sentry-Rate-Limits")))
        return;
    if (response.statusCode == 429)
        limit(QString(), response.retryAfter().value_or(Clock::now().addSecs(defaultRetrySeconds)));
}

bool SentryRateLimits::readRateLimitsHeader(const QByteArray &header)
{
    bool found = false;
    // "retry_after:categories:scope:reason, ..." with categories separated by semicolons.
    for (const QByteArray &entry : header.split(',')) {
        const QList<QByteArray> parts = entry.trimmed().split(':');
        bool ok = false;
        const double seconds = parts.value(0).toDouble(&ok);
        if (!ok || seconds < 0)
            continue;
        found = true;
        const QDateTime until = Clock::now().addMSecs(qint64(seconds * 1000.0));
        const QByteArray categories = parts.value(1).trimmed();
        if (categories.isEmpty()) {
            limit(QString(), until);
            continue;
        }
        for (const QByteArray &category : categories.split(';'))
            limit(QString::fromLatin1(category.trimmed()), until);
    }
    return found;
}

void SentryRateLimits::limit(const QString &category, const QDateTime &until)
{
    QDateTime &current = limitedUntil_[category];
    // A shorter limit announced later does not lift a longer one still running.
    if (!current.isValid() || until > current)
        current = until;
}

bool SentryRateLimits::isLimited(const QString &category) const
{
    const QDateTime now = Clock::now();
    for (const QString &key : {QString(), category}) {
        const auto found = limitedUntil_.constFind(key);
        if (found != limitedUntil_.constEnd() && now < *found)
            return true;
    }
    return false;
}

} // namespace hourloom
