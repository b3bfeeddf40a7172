#pragma once

#include <QString>

namespace hourloom {

// The keys of the configuration document; every value is stored as a JSON string.
enum class ConfigKeys {
    ROOT_URL,
    API_CLIENT_ID,
    API_CLIENT_SECRET,
    ENVIRONMENT,
    SENTRY_DSN,
    MIN_IDLE_TIME,
    IDLE_POLLING_INTERVAL,
    SECONDS_MIN_APP_SESSION,
    SECONDS_BETWEEN_API_SENDS,
    SECONDS_MIN_WEB_SESSION,
    SECONDS_WEB_POLLING_INTERVAL,
};

QString keyName(ConfigKeys key);

} // namespace hourloom
