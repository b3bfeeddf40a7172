#include "BrowserScriptQuery.h"

#include <QRegularExpression>

namespace hourloom {

std::optional<BrowserScriptQuery> BrowserScriptQuery::parse(const QString &source)
{
    static const QRegularExpression form(QStringLiteral(
        R"re(\A\s*tell application "([^\n]+)"[ \t]*\n)re"
        R"re(\s*if \(exists window 1\) then[ \t]*\n)re"
        R"re(\s*return URL of (front document|active tab of front window)[ \t]*\n)re"
        R"re(\s*end if[ \t]*\n)re"
        R"re(\s*end tell\s*\z)re"));
    const auto match = form.match(source);
    if (!match.hasMatch())
        return std::nullopt;
    return BrowserScriptQuery{match.captured(1), match.captured(2) == QLatin1String("front document")};
}

} // namespace hourloom
