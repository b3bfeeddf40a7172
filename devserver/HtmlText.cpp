#include "HtmlText.h"

namespace hourloom::devserver {

QString escaped(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&': result += QStringLiteral("&amp;"); break;
        case '<': result += QStringLiteral("&lt;"); break;
        case '>': result += QStringLiteral("&gt;"); break;
        case '"': result += QStringLiteral("&quot;"); break;
        case '\'': result += QStringLiteral("&#39;"); break;
        default: result += c;
        }
    }
    return result;
}

} // namespace hourloom::devserver
