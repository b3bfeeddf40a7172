#include "DevServerOptions.h"

#include <QCommandLineParser>
#include <QFile>

#include <cstdio>
#include <tuple>

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

// The lines of a file, or of standard input for "-"; blank lines left out.
std::optional<QStringList> linesOf(const QString &path)
{
    QFile file;
    const bool opened = path == u"-" ? file.open(stdin, QIODevice::ReadOnly) : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened)
        return std::nullopt;
    QStringList lines;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (const QByteArray trimmed = line.trimmed(); !trimmed.isEmpty())
            lines.append(QString::fromUtf8(trimmed));
    }
    return lines;
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

// The credentials of the flag and those of the file the other option names, together, or what
// is wrong with them. form: how one is written, "email:password".
std::variant<QList<Credential>, QString> givenCredentials(const QCommandLineParser &parser, const QCommandLineOption &flag,
                                                          const QCommandLineOption &file, const QString &form)
{
    QStringList texts = parser.values(flag);
    if (parser.isSet(file)) {
        const auto lines = linesOf(parser.value(file));
        if (!lines)
            return QStringLiteral("--%1 cannot be read: %2").arg(file.names().first(), parser.value(file));
        texts += *lines;
    }
    if (const auto parsed = credentials(texts))
        return *parsed;
    return QStringLiteral("--%1 and the lines of --%2 must be %3").arg(flag.names().first(), file.names().first(), form);
}

} // namespace

std::variant<DevServerOptions, DevServerOptions::Usage> DevServerOptions::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Hourloom's local account service (token endpoint and activity endpoint) on 127.0.0.1."));
    parser.addHelpOption();
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Port on 127.0.0.1; 0 picks a free one (default 8787)."), QStringLiteral("port"));
    const QCommandLineOption database(QStringLiteral("database"), QStringLiteral("SQLite file (default: a temporary file)."), QStringLiteral("path"));
    const QCommandLineOption user(QStringLiteral("user"),
                                  QStringLiteral("A user, repeatable (default: the demo user). Visible to every local user; prefer --users-from."),
                                  QStringLiteral("email:password"));
    const QCommandLineOption usersFrom(QStringLiteral("users-from"), QStringLiteral("Users from a file, one email:password a line; - reads standard input."),
                                       QStringLiteral("path"));
    const QCommandLineOption client(QStringLiteral("client"),
                                    QStringLiteral("An API client, repeatable (default: the Development client). Visible to every local user; prefer --clients-from."),
                                    QStringLiteral("id:secret"));
    const QCommandLineOption clientsFrom(QStringLiteral("clients-from"), QStringLiteral("API clients from a file, one id:secret a line; - reads standard input."),
                                         QStringLiteral("path"));
    const QCommandLineOption lifetime(QStringLiteral("token-lifetime"), QStringLiteral("Access-token lifetime in seconds (default 7200)."), QStringLiteral("seconds"));
    const QCommandLineOption cost(QStringLiteral("password-cost"),
                                  QStringLiteral("argon2id cost of stored passwords: interactive (default) or minimal (tests only)."),
                                  QStringLiteral("cost"));
    const QCommandLineOption faults(QStringLiteral("enable-fault-injection"), QStringLiteral("Accept /dev/faults requests that make endpoints fail."));
    parser.addOptions({port, database, user, usersFrom, client, clientsFrom, lifetime, cost, faults});
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
    if (parser.value(usersFrom) == u"-" && parser.value(clientsFrom) == u"-")
        return Usage{QStringLiteral("only one of --users-from and --clients-from can read standard input")};
    for (const auto &[flag, file, form, given] : {std::tuple{&user, &usersFrom, QStringLiteral("email:password"), &options.users},
                                                  std::tuple{&client, &clientsFrom, QStringLiteral("id:secret"), &options.clients}}) {
        if (!parser.isSet(*flag) && !parser.isSet(*file))
            continue;
        auto read = givenCredentials(parser, *flag, *file, form);
        if (const auto *error = std::get_if<QString>(&read))
            return Usage{*error};
        *given = std::get<QList<Credential>>(std::move(read));
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
