#include "DesktopApp.h"

#include "JsonReader.h"
#include "JsonWriter.h"

namespace hourloom {

void DesktopApp::encode(JsonWriter &writer) const
{
    writer.beginObject();
    writer.key(QLatin1StringView("app_name"));
    writer.value(appName);
    writer.key(QLatin1StringView("app_identifier"));
    writer.value(bundleIdentifier);
    writer.endObject();
}

DesktopApp DesktopApp::decode(const QJsonObject &object)
{
    return {JsonReader::string(object, QStringLiteral("app_name")),
            JsonReader::string(object, QStringLiteral("app_identifier"))};
}

} // namespace hourloom
