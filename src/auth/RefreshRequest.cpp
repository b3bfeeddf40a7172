#include "RefreshRequest.h"

#include "model/JsonWriter.h"

namespace hourloom {

std::optional<QByteArray> RefreshRequest::encode() const
{
    for (const QString &text : {refreshToken.value_or(QString()), clientId, clientSecret, grantType}) {
        if (!JsonWriter::isEncodable(text))
            return std::nullopt;
    }
    JsonWriter writer;
    writer.beginObject();
    writer.key(QLatin1StringView("refresh_token"));
    writer.nullableValue(refreshToken);
    writer.key(QLatin1StringView("client_id"));
    writer.value(clientId);
    writer.key(QLatin1StringView("client_secret"));
    writer.value(clientSecret);
    writer.key(QLatin1StringView("grant_type"));
    writer.value(grantType);
    writer.endObject();
    return writer.take();
}

} // namespace hourloom
