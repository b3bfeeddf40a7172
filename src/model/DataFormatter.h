#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace hourloom {

// Converts instants to and from the machine's local wall-clock text. The format letters are Qt's,
// which read the same as the Unicode pattern "yyyy-MM-dd HH:mm:ss" of the upload format; digits
// and names never follow the user's locale, and the fraction of a second is dropped, not rounded.
class DataFormatter {
public:
    static inline const QString uploadFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

    // The wall-clock text of the zone in force at the instant itself.
    static QString string(const QDateTime &date, const QString &format);
    // The wall-clock text at a fixed offset (seconds east of UTC): the text read at that offset
    // is the instant, whichever offset the machine's zone had at it.
    static QString string(const QDateTime &date, const QString &format, int offsetFromUtc);
    // Absent when the text does not match the format.
    static std::optional<QDateTime> date(const QString &text, const QString &format);

private:
    static QString wallClockText(const QDateTime &wallClock, const QString &format);
};

} // namespace hourloom
