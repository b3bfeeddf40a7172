#include "ConfigurationDocument.h"

#include <QJsonDocument>

#include <charconv>
#include <cmath>
#include <string>

namespace hourloom {
namespace {

// The longest period a timer can take: 2^31 - 1 milliseconds, about 24.8 days.
constexpr double longestTimerPeriod = 2147483.647;

bool isTimerPeriod(ConfigKeys key)
{
    return key == ConfigKeys::IDLE_POLLING_INTERVAL || key == ConfigKeys::SECONDS_BETWEEN_API_SENDS
        || key == ConfigKeys::SECONDS_WEB_POLLING_INTERVAL;
}

// Periods drive timers: zero, negative, infinite or overlong ones would all end up as a timer
// that fires without pause. Thresholds are compared with durations, so any finite value that
// is not negative means something.
bool makesSense(ConfigKeys key, double number)
{
    if (!std::isfinite(number))
        return false;
    if (isTimerPeriod(key))
        return number > 0 && number <= longestTimerPeriod;
    return number >= 0;
}

} // namespace

QString notSetMessage(ConfigKeys key)
{
    switch (key) {
    case ConfigKeys::API_CLIENT_ID:
    case ConfigKeys::API_CLIENT_SECRET:
    case ConfigKeys::ENVIRONMENT:
        return keyName(key) + QStringLiteral(" is not set in configuration file for this environment");
    default:
        return keyName(key) + QStringLiteral(" is not set in plist for this environment");
    }
}

QString notValidMessage(ConfigKeys key)
{
    // The odd spacing of some of these texts is part of the messages as they have always read.
    switch (key) {
    case ConfigKeys::ROOT_URL:
        return QStringLiteral("ROOT_URL is not a valid URL for this environment");
    case ConfigKeys::MIN_IDLE_TIME:
    case ConfigKeys::IDLE_POLLING_INTERVAL:
        return keyName(key) + QStringLiteral("is not a valid number for this environment ");
    case ConfigKeys::SECONDS_WEB_POLLING_INTERVAL:
        return keyName(key) + QStringLiteral(" is not a valid number for this environment ");
    default:
        return keyName(key) + QStringLiteral(" is not a valid number for this environment");
    }
}

std::optional<ConfigurationDocument> ConfigurationDocument::fromJson(const QByteArray &bytes)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return ConfigurationDocument(document.object());
}

ConfigurationDocument::ConfigurationDocument(QJsonObject values)
    : values_(std::move(values))
{
}

std::optional<QString> ConfigurationDocument::string(const QString &name) const
{
    const QJsonValue value = values_.value(name);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

std::optional<QString> ConfigurationDocument::storedText(ConfigKeys key) const
{
    return string(keyName(key));
}

ConfigValue<QString> ConfigurationDocument::text(ConfigKeys key) const
{
    if (auto value = storedText(key))
        return *value;
    return ConfigError{notSetMessage(key)};
}

ConfigValue<QUrl> ConfigurationDocument::url(ConfigKeys key) const
{
    const auto value = storedText(key);
    if (!value)
        return ConfigError{notSetMessage(key)};
    // An address only counts when it has a scheme: a bare word parses as a relative path,
    // which no endpoint can be made of.
    const QUrl url(*value, QUrl::StrictMode);
    if (value->isEmpty() || !url.isValid() || url.isRelative())
        return ConfigError{notValidMessage(key)};
    return url;
}

ConfigValue<double> ConfigurationDocument::number(ConfigKeys key) const
{
    const auto value = storedText(key);
    if (!value)
        return ConfigError{notSetMessage(key)};
    // from_chars ignores the process locale and takes no blanks; the whole text must be consumed.
    const std::string text = value->toStdString();
    const char *first = text.data();
    const char *last = first + text.size();
    if (first != last && *first == '+' && last - first > 1 && first[1] != '-')
        ++first;
    double number = 0;
    const auto [end, error] = std::from_chars(first, last, number);
    if (error != std::errc() || end != last || !makesSense(key, number))
        return ConfigError{notValidMessage(key)};
    return number;
}

} // namespace hourloom
