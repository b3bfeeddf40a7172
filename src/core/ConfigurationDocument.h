#pragma once

#include "ConfigKeys.h"

#include <QJsonObject>
#include <QString>
#include <QUrl>

#include <optional>
#include <variant>

namespace hourloom {

// Why a configuration value cannot be used.
struct ConfigError {
    QString message;
};

// A value read from the configuration document, or why it cannot be used.
template <typename T>
using ConfigValue = std::variant<T, ConfigError>;

// Reads and checks the values of one configuration document. It never stops the process:
// Configuration decides what a bad value means.
class ConfigurationDocument {
public:
    // Parses a document's bytes; absent when they are not a JSON object.
    static std::optional<ConfigurationDocument> fromJson(const QByteArray &bytes);
    explicit ConfigurationDocument(QJsonObject values);

    // API_CLIENT_ID, API_CLIENT_SECRET, ENVIRONMENT and SENTRY_DSN: the text as stored.
    ConfigValue<QString> text(ConfigKeys key) const;
    // ROOT_URL.
    ConfigValue<QUrl> url(ConfigKeys key) const;
    // The six numeric keys: the whole text must be a finite floating-point number; the three
    // timer periods more than zero and at most 2^31 - 1 milliseconds, the thresholds not negative.
    ConfigValue<double> number(ConfigKeys key) const;
    // A string entry outside ConfigKeys, such as CFBundleShortVersionString.
    std::optional<QString> string(const QString &name) const;

private:
    std::optional<QString> storedText(ConfigKeys key) const;

    QJsonObject values_;
};

QString notSetMessage(ConfigKeys key);
QString notValidMessage(ConfigKeys key);

} // namespace hourloom
