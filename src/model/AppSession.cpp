#include "AppSession.h"

#include "EncodeList.h"
#include "JsonReader.h"
#include "WebSession.h"

namespace hourloom {

AppSession::AppSession(const std::optional<QString> &appName, const std::optional<QString> &bundleIdentifier)
    : AppSession(DesktopApp{appName.value_or(unknownAppName), bundleIdentifier.value_or(unknownBundleIdentifier)})
{
}

AppSession::AppSession(const DesktopApp &desktopApp)
    : appName_(desktopApp.appName)
    , bundleIdentifier_(desktopApp.bundleIdentifier)
    , desktopApp_(desktopApp)
{
}

std::shared_ptr<WebSessionProtocol> AppSession::activeWebSession() const
{
    for (const auto &webSession : webSessions_) {
        if (webSession->isActive())
            return webSession;
    }
    return nullptr;
}

void AppSession::encode(JsonWriter &writer) const
{
    writer.beginObject();
    encodeSpan(writer);
    writer.key(QLatin1StringView("web_sessions_attributes"));
    encodeListOf<WebSession>(webSessions_, writer);
    writer.key(QLatin1StringView("desktop_app_attributes"));
    desktopApp_.encode(writer);
    writer.endObject();
}

std::shared_ptr<AppSession> AppSession::decode(const QJsonObject &object)
{
    const DesktopApp desktopApp = DesktopApp::decode(JsonReader::object(object, QStringLiteral("desktop_app_attributes")));
    std::shared_ptr<AppSession> session(new AppSession(desktopApp));
    for (const QJsonValue &value : JsonReader::array(object, QStringLiteral("web_sessions_attributes")))
        session->webSessions_.append(WebSession::decode(JsonReader::object(value, QStringLiteral("web_sessions_attributes"))));
    session->decodeSpan(object);
    return session;
}

} // namespace hourloom
