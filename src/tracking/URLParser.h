#pragma once

#include <QRegularExpression>
#include <QString>

#include <optional>

namespace hourloom {

// Reduces a URL to the domain a web session is kept under: its host, lower-cased, in Unicode
// (also for internationalised names written in their "xn--" form), without one leading "www.".
class URLParser {
public:
    URLParser();

    // None when the text has no host (not a URL, about:blank, a local file).
    std::optional<QString> parseDomain(const QString &urlText) const;

    QRegularExpression stripWWWRegex;
};

} // namespace hourloom
