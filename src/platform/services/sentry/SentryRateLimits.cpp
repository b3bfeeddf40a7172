#include "SentryRateLimits.h"

#include "core/Clock.h"

#include <QLocale>
#include <QTimeZone>

namespace hourloom {
namespace {

constexpr int defaultRetrySeconds = 60;

} // namespace

void SentryRateLimits::update(const HTTPURLResponse &response)
{
    if (readRateLimitsHeader(response.value("X-Sentry-Rate-Limits")))
        return;
    if (response.statusCode == 429)
        limit(QString(), retryAfter(response.value("Retry-After")));
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

QDateTime SentryRateLimits::retryAfter(const QByteArray &header)
{
    const QDateTime now = Clock::now();
    bool ok = false;
    const double seconds = header.trimmed().toDouble(&ok);
    if (ok && seconds >= 0)
        return now.addMSecs(qint64(seconds * 1000.0));
    // An HTTP date, such as "Wed, 21 Oct 2015 07:28:00 GMT"; HTTP dates are always in GMT.
    QString text = QString::fromLatin1(header.trimmed());
    if (text.endsWith(QStringLiteral(" GMT")))
        text.chop(4);
    QDateTime date = QLocale::c().toDateTime(text, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss"));
    if (date.isValid()) {
        date.setTimeSpec(Qt::UTC);
        return date;
    }
    return now.addSecs(defaultRetrySeconds);
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
