#include "DataFormatter.h"

#include <QLocale>

namespace hourloom {
namespace {

void appendDigits(QString &text, int value, int width)
{
    char digits[8];
    for (int i = width - 1; i >= 0; --i) {
        digits[i] = char('0' + value % 10);
        value /= 10;
    }
    text.append(QLatin1StringView(digits, width));
}

// The upload format is written for every time of every upload: build it directly instead of
// interpreting the pattern each time.
QString uploadText(const QDateTime &wallClock)
{
    const QDate date = wallClock.date();
    const QTime time = wallClock.time();
    QString text;
    text.reserve(19);
    appendDigits(text, date.year(), 4);
    text.append(u'-');
    appendDigits(text, date.month(), 2);
    text.append(u'-');
    appendDigits(text, date.day(), 2);
    text.append(u' ');
    appendDigits(text, time.hour(), 2);
    text.append(u':');
    appendDigits(text, time.minute(), 2);
    text.append(u':');
    appendDigits(text, time.second(), 2);
    return text;
}

} // namespace

QString DataFormatter::string(const QDateTime &date, const QString &format)
{
    return wallClockText(date.toLocalTime(), format);
}

QString DataFormatter::string(const QDateTime &date, const QString &format, int offsetFromUtc)
{
    return wallClockText(date.toOffsetFromUtc(offsetFromUtc), format);
}

QString DataFormatter::wallClockText(const QDateTime &wallClock, const QString &format)
{
    const int year = wallClock.date().year();
    if (format == uploadFormat && year >= 0 && year <= 9999)
        return uploadText(wallClock);
    return QLocale::c().toString(wallClock, format);
}

std::optional<QDateTime> DataFormatter::date(const QString &text, const QString &format)
{
    const QDateTime parsed = QLocale::c().toDateTime(text, format);
    if (!parsed.isValid())
        return std::nullopt;
    return parsed;
}

} // namespace hourloom
