#include "URLParser.h"

#include "core/FatalError.h"

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
    // Qt shows Unicode only for the top-level domains on its list; both spellings of one host
    // must give one domain, so every host goes through its ASCII form to its Unicode form.
    const QByteArray asciiHost = url.host(QUrl::FullyEncoded).toLatin1();
    if (asciiHost.isEmpty())
        return std::nullopt;
    QString host = QUrl::fromAce(asciiHost, QUrl::IgnoreIDNWhitelist);
    if (host.isEmpty())
        host = QString::fromLatin1(asciiHost);
    // Anchored at the start: only a leading "www." goes, one at most; "www" deeper in stays.
    const auto match = stripWWWRegex.match(host, 0, QRegularExpression::NormalMatch,
                                           QRegularExpression::AnchorAtOffsetMatchOption);
    if (match.hasMatch())
        host.remove(0, match.capturedLength());
    return host;
}

} // namespace hourloom
