#include "URLParser.h"

#include "app/FatalError.h"

#include <QUrl>

namespace hourloom {

URLParser::URLParser()
    : stripWWWRegex(QStringLiteral("(www\\.)"), QRegularExpression::CaseInsensitiveOption)
{
    if (!stripWWWRegex.isValid())
        fatalError(QStringLiteral("Could not build the expression that strips www. from hosts"));
}

std::optional<QString> URLParser::parseDomain(const QString &urlText) const
{
    // Lower-cased before parsing, so that letter case never tells two domains apart.
    const QUrl url(urlText.toLower());
    if (!url.isValid())
        return std::nullopt;
    QString host = url.host();
    if (host.isEmpty())
        return std::nullopt;
    // Anchored at the start: only a leading "www." goes, one at most; "www" deeper in stays.
    const auto match = stripWWWRegex.match(host, 0, QRegularExpression::NormalMatch,
                                           QRegularExpression::AnchorAtOffsetMatchOption);
    if (match.hasMatch())
        host.remove(0, match.capturedLength());
    return host;
}

} // namespace hourloom
