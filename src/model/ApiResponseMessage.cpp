#include "ApiResponseMessage.h"

#include "JsonReader.h"

namespace hourloom {

ApiResponseMessage ApiResponseMessage::decode(const QJsonValue &value)
{
    const QJsonObject object = JsonReader::object(value, QStringLiteral("message object"));
    return {JsonReader::string(object, QStringLiteral("message"))};
}

} // namespace hourloom
