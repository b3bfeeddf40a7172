#include "StateMessage.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

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
    StateMessage message;
    message.windowFocused = focused.toBool();
    message.privateTab = incognito.toBool();
    // However long the URL, its domain is what counts; the rest is not kept.
    if (url.isString() && !message.privateTab)
        message.origin = originOf(url.toString());
    return message;
}

QString StateMessage::originOf(const QString &url)
{
    const QUrl parsed(url);
    if (!parsed.isValid() || parsed.scheme().isEmpty())
        return QString();
    const QString host = parsed.host(QUrl::FullyEncoded);
    if (host.isEmpty())
        return parsed.scheme() + QLatin1Char(':');
    // An IPv6 address keeps its brackets, so that the origin is still a URL.
    return parsed.scheme() + QStringLiteral("://") + (host.contains(QLatin1Char(':')) ? u'[' + host + u']' : host);
}

} // namespace hourloom
