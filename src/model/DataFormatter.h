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

    static QString string(const QDateTime &date, const QString &format);
    // Absent when the text does not match the format.
    static std::optional<QDateTime> date(const QString &text, const QString &format);
};

} // namespace hourloom
