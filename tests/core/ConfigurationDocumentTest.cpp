#include "core/ConfigurationDocument.h"

#include <QJsonObject>

#include <gtest/gtest.h>

using namespace hourloom;

namespace {

template <typename T>
QString messageOf(const ConfigValue<T> &value)
{
    const auto *error = std::get_if<ConfigError>(&value);
    return error ? error->message : QStringLiteral("<value>");
}

ConfigValue<double> numberFrom(const QJsonValue &stored, ConfigKeys key = ConfigKeys::SECONDS_BETWEEN_API_SENDS)
{
    return ConfigurationDocument(QJsonObject{{keyName(key), stored}}).number(key);
}

} // namespace

TEST(ConfigurationDocument, NumbersMustBeTextThatIsWhollyANumber)
{
    for (const auto &[text, value] : {std::pair{"30", 30.0}, {"30.5", 30.5}, {"1e2", 100.0}, {"+2", 2.0}})
        EXPECT_EQ(std::get<double>(numberFrom(QString::fromLatin1(text))), value) << text;

    const QString notValid = QStringLiteral("SECONDS_BETWEEN_API_SENDS is not a valid number for this environment");
    for (const char *text : {" 30", "30 ", "", "thirty", "30s", "3,5", "1e400", "+"})
        EXPECT_EQ(messageOf(numberFrom(QString::fromLatin1(text))), notValid) << '"' << text << '"';

    // A number entry, a boolean or nothing at all is "not set", not "not valid".
    const QString notSet = QStringLiteral("SECONDS_BETWEEN_API_SENDS is not set in plist for this environment");
    EXPECT_EQ(messageOf(numberFrom(30)), notSet);
    EXPECT_EQ(messageOf(numberFrom(true)), notSet);
    EXPECT_EQ(messageOf(ConfigurationDocument(QJsonObject{}).number(ConfigKeys::SECONDS_BETWEEN_API_SENDS)), notSet);
}

TEST(ConfigurationDocument, NumbersThatMakeNoSenseAreNotValid)
{
    // Timer periods: finite, above zero, and short enough for a timer (2^31 - 1 ms).
    for (ConfigKeys period : {ConfigKeys::IDLE_POLLING_INTERVAL, ConfigKeys::SECONDS_BETWEEN_API_SENDS, ConfigKeys::SECONDS_WEB_POLLING_INTERVAL}) {
        for (const char *text : {"0", "-0", "-5", "nan", "inf", "-inf", "infinity", "1e300", "4294967.296", "2147483.648"})
            EXPECT_EQ(messageOf(numberFrom(QString::fromLatin1(text), period)), notValidMessage(period)) << qPrintable(keyName(period)) << ' ' << text;
        for (const auto &[text, value] : {std::pair{"0.5", 0.5}, {"2147483.647", 2147483.647}, {"86400", 86400.0}})
            EXPECT_EQ(std::get<double>(numberFrom(QString::fromLatin1(text), period)), value) << qPrintable(keyName(period)) << ' ' << text;
    }
    // Thresholds: finite and not negative; zero and large values keep their meaning.
    for (ConfigKeys threshold : {ConfigKeys::MIN_IDLE_TIME, ConfigKeys::SECONDS_MIN_APP_SESSION, ConfigKeys::SECONDS_MIN_WEB_SESSION}) {
        for (const char *text : {"-5", "-0.001", "nan", "inf", "-inf"})
            EXPECT_EQ(messageOf(numberFrom(QString::fromLatin1(text), threshold)), notValidMessage(threshold)) << qPrintable(keyName(threshold)) << ' ' << text;
        for (const auto &[text, value] : {std::pair{"0", 0.0}, {"1e300", 1e300}, {"4294967.296", 4294967.296}})
            EXPECT_EQ(std::get<double>(numberFrom(QString::fromLatin1(text), threshold)), value) << qPrintable(keyName(threshold)) << ' ' << text;
    }
}

TEST(ConfigurationDocument, TextsAreTakenAsTheyStandAndUrlsMustParse)
{
    const ConfigurationDocument document(QJsonObject{
        {QStringLiteral("API_CLIENT_ID"), QStringLiteral(" spaced ")},
        {QStringLiteral("API_CLIENT_SECRET"), QString()},
        {QStringLiteral("ENVIRONMENT"), 1},
    });
    EXPECT_EQ(std::get<QString>(document.text(ConfigKeys::API_CLIENT_ID)), " spaced ");
    EXPECT_EQ(std::get<QString>(document.text(ConfigKeys::API_CLIENT_SECRET)), "");
    EXPECT_EQ(messageOf(document.text(ConfigKeys::ENVIRONMENT)), "ENVIRONMENT is not set in configuration file for this environment");

    auto url = [](const QString &text) {
        return ConfigurationDocument(QJsonObject{{QStringLiteral("ROOT_URL"), text}}).url(ConfigKeys::ROOT_URL);
    };
    EXPECT_EQ(std::get<QUrl>(url(QStringLiteral("https://hourloom.example"))), QUrl(QStringLiteral("https://hourloom.example")));
    for (const char *text : {"", "http://exa mple.org", "no scheme at all"})
        EXPECT_EQ(messageOf(url(QString::fromLatin1(text))), "ROOT_URL is not a valid URL for this environment") << text;
}
