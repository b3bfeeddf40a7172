#include "AuthRequest.h"

#include "model/JsonWriter.h"

namespace hourloom {
std::optional<QByteArray> AuthRequest::encode() const
{
    for (const QString &text : {username.value_or(QString()), password.value_or(QString()), clientId, clientSecret, grantType}) {
        if (!JsonWriter::isEncodable(text))
            return std::nullopt;
    }
    JsonWriter writer;
    writer.beginObject();
    writer.key(QLatin1StringView("email"));
    writer.nullableValue(username);
    writer.key(QLatin1StringView("password"));
    writer.nullableValue(password);
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
