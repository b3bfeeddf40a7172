#include "PageShell.h"

#include "HtmlText.h"

#include <QFile>

static void initialisePageResources()
{
    // The resources live in a static library: the linker keeps them only when asked by name.
    Q_INIT_RESOURCE(pages);
}

namespace hourloom::devserver {

QString PageShell::html(const QString &main) const
{
    QString html = QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                                  "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n");
    if (reloadEvery30Seconds)
        html += QStringLiteral("<meta http-equiv=\"refresh\" content=\"30\">\n");
    html += QStringLiteral("<title>") + escaped(title) + QStringLiteral(" \u00b7 Hourloom</title>\n"
                                                                       "<link rel=\"stylesheet\" href=\"/assets/account.css\">\n"
                                                                       "<script src=\"/assets/account.js\" defer></script>\n</head>\n<body>\n"
                                                                       "<header class=\"top\"><a class=\"brand\" href=\"/\">Hourloom</a>"
                                                                       "<nav class=\"account\"><a href=\"/guides/troubleshooting\">Help</a>");
    return html + account + QStringLiteral("</nav></header>\n<main>\n") + main + QStringLiteral("</main>\n</body>\n</html>\n");
}

QByteArray PageShell::resource(const QString &name)
{
    static const bool initialised = (initialisePageResources(), true);
    (void)initialised;
    QFile file(QStringLiteral(":/pages/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace hourloom::devserver
