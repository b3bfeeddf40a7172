#include "DevServerOptions.h"

#include <QCommandLineParser>

namespace hourloom::devserver {
namespace {

// "name:secret", split at the first colon so that secrets may contain colons.
std::optional<Credential> credential(const QString &text)
{
    const qsizetype colon = text.indexOf(u':');
    if (colon <= 0 || colon == text.size() - 1)
        return std::nullopt;
    return Credential{text.left(colon), text.mid(colon + 1)};
}

std::optional<QList<Credential>> credentials(const QStringList &texts)
{
    QList<Credential> result;
    for (const QString &text : texts) {
        const auto parsed = credential(text);
        if (!parsed)
            return std::nullopt;
        result.append(*parsed);
    }
    return result;
}

} // namespace

std::variant<DevServerOptions, DevServerOptions::Usage> DevServerOptions::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Hourloom's local account service (token endpoint and activity endpoint) on 127.0.0.1."));
    parser.addHelpOption();
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Port on 127.0.0.1; 0 picks a free one (default 8787)."), QStringLiteral("port"));
    const QCommandLineOption database(QStringLiteral("database"), QStringLiteral("SQLite file (default: a temporary file)."), QStringLiteral("path"));
    const QCommandLineOption user(QStringLiteral("user"), QStringLiteral("A user, repeatable (default: the demo user)."), QStringLiteral("email:password"));
    const QCommandLineOption client(QStringLiteral("client"), QStringLiteral("An API client, repeatable (default: the Development client)."), QStringLiteral("id:secret"));
    const QCommandLineOption lifetime(QStringLiteral("token-lifetime"), QStringLiteral("Access-token lifetime in seconds (default 7200)."), QStringLiteral("seconds"));
    const QCommandLineOption cost(QStringLiteral("password-cost"),
                                  QStringLiteral("argon2id cost of stored passwords: interactive (default) or minimal (tests only)."),
                                  QStringLiteral("cost"));
    const QCommandLineOption faults(QStringLiteral("enable-fault-injection"), QStringLiteral("Accept /dev/faults requests that make endpoints fail."));
    parser.addOptions({port, database, user, client, lifetime, cost, faults});
    if (!parser.parse(arguments))
        return Usage{parser.errorText()};
    if (parser.isSet(QStringLiteral("help")))
        return Usage{parser.helpText(), false};

    DevServerOptions options;
    if (parser.isSet(port)) {
        bool ok = false;
        options.port = parser.value(port).toInt(&ok);
        if (!ok || options.port < 0 || options.port > 65535)
            return Usage{QStringLiteral("--port must be a number from 0 to 65535")};
    }
    options.databasePath = parser.value(database);
    if (parser.isSet(user)) {
        const auto users = credentials(parser.values(user));
        if (!users)
            return Usage{QStringLiteral("--user must be email:password")};
        options.users = *users;
    }
    if (parser.isSet(client)) {
        const auto clients = credentials(parser.values(client));
        if (!clients)
            return Usage{QStringLiteral("--client must be id:secret")};
        options.clients = *clients;
    }
    if (parser.isSet(lifetime)) {
        bool ok = false;
        options.tokenLifetime = parser.value(lifetime).toLongLong(&ok);
        if (!ok || options.tokenLifetime < 0)
            return Usage{QStringLiteral("--token-lifetime must be a number of seconds, 0 or more")};
    }
    if (parser.isSet(cost)) {
        // The last one given counts, so that a test can override its helper's default.
        const QString value = parser.value(cost);
        if (value != u"interactive" && value != u"minimal")
            return Usage{QStringLiteral("--password-cost must be interactive or minimal")};
        options.passwordCost = value == u"minimal" ? PasswordHasher::Cost::Minimal : PasswordHasher::Cost::Interactive;
    }
    options.faultInjection = parser.isSet(faults);
    return options;
}

} // namespace hourloom::devserver
