#include "Configuration.h"

#include "ConfigurationDocument.h"
#include "FatalError.h"

#include <QFile>
#include <QFileInfo>

#include <variant>

namespace hourloom {
namespace {

template <typename T>
T valueOrFatal(const ConfigValue<T> &value)
{
    if (const auto *error = std::get_if<ConfigError>(&value))
        fatalError(error->message);
    return std::get<T>(value);
}

} // namespace

QString Configuration::documentPath()
{
    // The executable's own folder is the application's bundle; /proc/self/exe works before
    // (and without) a QCoreApplication.
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(u'/', 0, -2)
        + QStringLiteral("/Info.json");
}

const ConfigurationDocument &Configuration::document()
{
    static const ConfigurationDocument loaded = [] {
        QFile file(documentPath());
        std::optional<ConfigurationDocument> document;
        if (file.open(QIODevice::ReadOnly))
            document = ConfigurationDocument::fromJson(file.readAll());
        if (!document)
            fatalError(QStringLiteral("Config plist file could not be found"));
        return *document;
    }();
    return loaded;
}

QUrl Configuration::rootURL()
{
    static const QUrl value = valueOrFatal(document().url(ConfigKeys::ROOT_URL));
    return value;
}

QString Configuration::apiClientId()
{
    static const QString value = valueOrFatal(document().text(ConfigKeys::API_CLIENT_ID));
    return value;
}

QString Configuration::apiClientSecret()
{
    static const QString value = valueOrFatal(document().text(ConfigKeys::API_CLIENT_SECRET));
    return value;
}

QString Configuration::environment()
{
    static const QString value = valueOrFatal(document().text(ConfigKeys::ENVIRONMENT));
    return value;
}

QString Configuration::sentryDSN()
{
    static const QString value = valueOrFatal(document().text(ConfigKeys::SENTRY_DSN));
    return value;
}

double Configuration::minIdleTime()
{
    static const double value = valueOrFatal(document().number(ConfigKeys::MIN_IDLE_TIME));
    return value;
}

double Configuration::idlePollingInterval()
{
    static const double value = valueOrFatal(document().number(ConfigKeys::IDLE_POLLING_INTERVAL));
    return value;
}

double Configuration::secondsMinAppSession()
{
    static const double value = valueOrFatal(document().number(ConfigKeys::SECONDS_MIN_APP_SESSION));
    return value;
}

double Configuration::secondsBetweenApiSends()
{
    static const double value = valueOrFatal(document().number(ConfigKeys::SECONDS_BETWEEN_API_SENDS));
    return value;
}

double Configuration::secondsMinWebSession()
{
    static const double value = valueOrFatal(document().number(ConfigKeys::SECONDS_MIN_WEB_SESSION));
    return value;
}

double Configuration::secondsWebPollingInterval()
{
    static const double value = valueOrFatal(document().number(ConfigKeys::SECONDS_WEB_POLLING_INTERVAL));
    return value;
}

std::optional<QString> Configuration::shortVersion()
{
    static const std::optional<QString> value = document().string(QStringLiteral("CFBundleShortVersionString"));
    return value;
}

std::optional<QUrl> Configuration::updateFeedURL()
{
    static const std::optional<QUrl> value = []() -> std::optional<QUrl> {
        const auto text = document().string(QStringLiteral("SUFeedURL"));
        if (!text)
            return std::nullopt;
        const QUrl url(*text, QUrl::StrictMode);
        if (!url.isValid() || url.host().isEmpty() || (url.scheme() != u"http" && url.scheme() != u"https"))
            return std::nullopt;
        return url;
    }();
    return value;
}

QUrl Configuration::appendingPath(const QUrl &root, const QString &path)
{
    return QUrl(root.toString() + path);
}

QUrl Configuration::tokenEndpoint()
{
    return appendingPath(rootURL(), QStringLiteral("/oauth/token"));
}

QUrl Configuration::helpPage()
{
    return appendingPath(rootURL(), QStringLiteral("/guides/troubleshooting"));
}

} // namespace hourloom
