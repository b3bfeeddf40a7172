#include "ApiActivityUploadResponseData.h"

#include "DecodingError.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace hourloom {
namespace {

// A member that may be absent or null; otherwise it must be an array of message objects.
std::optional<QList<ApiResponseMessage>> optionalMessages(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isArray())
        throw DecodingError(QStringLiteral("\"%1\" is not an array").arg(key));
    QList<ApiResponseMessage> messages;
    for (const QJsonValue &element : value.toArray())
        messages.append(ApiResponseMessage::decode(element));
    return messages;
}

} // namespace

std::optional<ApiActivityUploadResponseData> ApiActivityUploadResponseData::fromJson(const QByteArray &body)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    try {
        const QJsonObject object = document.object();
        return ApiActivityUploadResponseData{optionalMessages(object, QStringLiteral("errors")),
                                             optionalMessages(object, QStringLiteral("messages"))};
    } catch (const DecodingError &) {
        return std::nullopt;
    }
}

} // namespace hourloom
