#pragma once

#include "PasswordHasher.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace hourloom::devserver {

struct Credential {
    QString name;
    QString secret;
};

// What the service is started with. Users and clients given on the command line replace the
// defaults (the demo user, the Development client) rather than adding to them.
struct DevServerOptions {
    static inline const QString demoEmail = QStringLiteral("demo@hourloom.test");
    static inline const QString demoPassword = QStringLiteral("demo-password");
    static inline const QString developmentClientId = QStringLiteral("hourloom-development");
    static inline const QString developmentClientSecret = QStringLiteral("development-secret");

    int port = 8787;
    // Empty: a temporary file that disappears when the service stops.
    QString databasePath;
    QList<Credential> users{{demoEmail, demoPassword}};
    QList<Credential> clients{{developmentClientId, developmentClientSecret}};
    qint64 tokenLifetime = 7200;
    PasswordHasher::Cost passwordCost = PasswordHasher::Cost::Interactive;
    bool faultInjection = false;

    // What to print instead of starting: the help, or what is wrong with the arguments.
    struct Usage {
        QString text;
        bool isError = true;
    };

    static std::variant<DevServerOptions, Usage> parse(const QStringList &arguments);
};

} // namespace hourloom::devserver
