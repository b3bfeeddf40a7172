#include "URLSessionProtocol.h"

#include "core/Clock.h"

#include <QLocale>
#include <QTimeZone>

namespace hourloom {

std::optional<QDateTime> HTTPURLResponse::retryAfter() const
{
    const QByteArray header = value("Retry-After").trimmed();
    bool ok = false;
    const double seconds = header.toDouble(&ok);
    if (ok && seconds >= 0)
        return Clock::now().addMSecs(qint64(seconds * 1000.0));
    // An HTTP date, such as "Wed, 21 Oct 2015 07:28:00 GMT"; HTTP dates are always in GMT.
    QString text = QString::fromLatin1(header);
    if (text.endsWith(QStringLiteral(" GMT")))
        text.chop(4);
    QDateTime date = QLocale::c().toDateTime(text, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss"));
    if (!date.isValid())
        return std::nullopt;
    // The header's clock time read in UTC, as a UTC time (printed with "Z") rather than one in the UTC zone.
    return QDateTime(date.date(), date.time(), QTimeZone::utc()).toUTC();
}

QCoro::Task<std::variant<URLSessionResponse, URLSessionError>> URLSessionProtocol::upload(URLRequest request, QByteArray body)
{
    const URLSessionCompletion completion = co_await uploadTask(std::move(request), std::move(body));
    if (completion.error)
        co_return *completion.error;
    co_return URLSessionResponse{completion.data.value_or(QByteArray()), completion.response};
}

} // namespace hourloom
