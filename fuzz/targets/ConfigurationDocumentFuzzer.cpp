// The configuration document: parsed, then every key read the way the agent reads it.
#include "core/ConfigurationDocument.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

using namespace hourloom;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto document = ConfigurationDocument::fromJson(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!document)
        return 0;
    for (ConfigKeys key : {ConfigKeys::API_CLIENT_ID, ConfigKeys::API_CLIENT_SECRET, ConfigKeys::ENVIRONMENT, ConfigKeys::SENTRY_DSN})
        (void)document->text(key);
    (void)document->url(ConfigKeys::ROOT_URL);
    for (ConfigKeys key : {ConfigKeys::MIN_IDLE_TIME, ConfigKeys::IDLE_POLLING_INTERVAL, ConfigKeys::SECONDS_MIN_APP_SESSION,
                           ConfigKeys::SECONDS_BETWEEN_API_SENDS, ConfigKeys::SECONDS_MIN_WEB_SESSION, ConfigKeys::SECONDS_WEB_POLLING_INTERVAL}) {
        const ConfigValue<double> number = document->number(key);
        // What is accepted must be usable as the agent uses it.
        if (const double *value = std::get_if<double>(&number); value && (!std::isfinite(*value) || *value < 0))
            __builtin_trap();
    }
    (void)document->string(QStringLiteral("SUFeedURL"));
    return 0;
}
