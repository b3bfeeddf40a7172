#include "ConfigKeys.h"

namespace hourloom {

QString keyName(ConfigKeys key)
{
    switch (key) {
    case ConfigKeys::ROOT_URL: return QStringLiteral("ROOT_URL");
    case ConfigKeys::API_CLIENT_ID: return QStringLiteral("API_CLIENT_ID");
    case ConfigKeys::API_CLIENT_SECRET: return QStringLiteral("API_CLIENT_SECRET");
    case ConfigKeys::ENVIRONMENT: return QStringLiteral("ENVIRONMENT");
    case ConfigKeys::SENTRY_DSN: return QStringLiteral("SENTRY_DSN");
    case ConfigKeys::MIN_IDLE_TIME: return QStringLiteral("MIN_IDLE_TIME");
    case ConfigKeys::IDLE_POLLING_INTERVAL: return QStringLiteral("IDLE_POLLING_INTERVAL");
    case ConfigKeys::SECONDS_MIN_APP_SESSION: return QStringLiteral("SECONDS_MIN_APP_SESSION");
    case ConfigKeys::SECONDS_BETWEEN_API_SENDS: return QStringLiteral("SECONDS_BETWEEN_API_SENDS");
    case ConfigKeys::SECONDS_MIN_WEB_SESSION: return QStringLiteral("SECONDS_MIN_WEB_SESSION");
    case ConfigKeys::SECONDS_WEB_POLLING_INTERVAL: return QStringLiteral("SECONDS_WEB_POLLING_INTERVAL");
    }
    Q_UNREACHABLE();
}

} // namespace hourloom
