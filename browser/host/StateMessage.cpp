#include "StateMessage.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace hourloom {

std::optional<StateMessage> StateMessage::parse(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonValue url = object.value(QStringLiteral("url"));
    const QJsonValue focused = object.value(QStringLiteral("windowFocused"));
    const QJsonValue incognito = object.value(QStringLiteral("incognito"));
    if (object.value(QStringLiteral("type")) != QJsonValue(QStringLiteral("state")) || !(url.isString() || url.isNull())
        || !focused.isBool() || !(incognito.isBool() || incognito.isUndefined()))
        return std::nullopt;
    if (url.isString() && url.toString().size() > maxURLLength)
        return std::nullopt;
    StateMessage message;
    message.windowFocused = focused.toBool();
    if (url.isString() && !incognito.toBool())
        message.url = url.toString();
    return message;
}

} // namespace hourloom
