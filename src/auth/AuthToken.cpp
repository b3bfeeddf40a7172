#include "AuthToken.h"

#include "model/DecodingError.h"
#include "model/JsonReader.h"

#include <QJsonDocument>

namespace hourloom {
namespace {

std::optional<QString> optionalString(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    return JsonReader::string(object, key);
}

} // namespace

AuthToken AuthToken::decode(const QByteArray &body)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        throw DecodingError(QStringLiteral("The server's answer is not valid JSON: %1").arg(error.errorString()));
    if (!document.isObject())
        throw DecodingError(QStringLiteral("The server's answer is not a JSON object"));
    const QJsonObject object = document.object();
    return AuthToken{optionalString(object, QStringLiteral("access_token")), optionalString(object, QStringLiteral("refresh_token")),
                     JsonReader::integer(object, QStringLiteral("created_at")), JsonReader::integer(object, QStringLiteral("expires_in"))};
}

} // namespace hourloom
