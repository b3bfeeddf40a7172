#pragma once

#include <QByteArray>
#include <QString>

namespace hourloom::devserver {

// The frame every account page shares: head (style sheet, the small script, optionally a
// reload every 30 s), the top bar with the help link and, when signed in, the user's e-mail
// and the sign-out button.
struct PageShell {
    explicit PageShell(const QString &title, const QString &account = {}, bool reloadEvery30Seconds = false)
        : title(title)
        , account(account)
        , reloadEvery30Seconds(reloadEvery30Seconds)
    {
    }

    QString title;
    // Escaped HTML for the top bar's right side; empty when signed out.
    QString account;
    bool reloadEvery30Seconds = false;

    QString html(const QString &main) const;

    // The files under /assets/ and the help page's content, built into the service.
    static QByteArray resource(const QString &name);
};

} // namespace hourloom::devserver
