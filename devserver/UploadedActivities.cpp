#include "UploadedActivities.h"

#include "JsonMemberReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace hourloom::devserver {
namespace {

UploadedWebSession readWebSession(JsonMemberReader &reader, const QString &path, const QJsonObject &object)
{
    const auto domain = reader.object(object, path, QStringLiteral("web_domain_attributes"));
    return {reader.uuid(object, path, QStringLiteral("id")), reader.time(object, path, QStringLiteral("start_time")),
            reader.time(object, path, QStringLiteral("end_time")),
            reader.nestedText(domain, path + QStringLiteral("web_domain_attributes."), QStringLiteral("domain"))};
}

UploadedAppSession readAppSession(JsonMemberReader &reader, const QString &path, const QJsonObject &object)
{
    const QString appPath = path + QStringLiteral("desktop_app_attributes.");
    const auto app = reader.object(object, path, QStringLiteral("desktop_app_attributes"));
    UploadedAppSession session{reader.uuid(object, path, QStringLiteral("id")), reader.time(object, path, QStringLiteral("start_time")),
                               reader.time(object, path, QStringLiteral("end_time")), reader.nestedText(app, appPath, QStringLiteral("app_name")),
                               reader.nestedText(app, appPath, QStringLiteral("app_identifier")), {}};
    const QString webPath = path + QStringLiteral("web_sessions_attributes");
    const QJsonArray webSessions = reader.list(object, path, QStringLiteral("web_sessions_attributes"));
    for (const auto &[elementPath, element] : reader.objects(webSessions, webPath))
        session.webSessions.append(readWebSession(reader, elementPath, element));
    return session;
}

} // namespace

std::variant<UploadedActivities, QStringList> UploadedActivities::parse(const QByteArray &body)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        return QStringList{QStringLiteral("the body is not JSON: %1 at offset %2").arg(error.errorString()).arg(error.offset)};
    if (!document.isObject())
        return QStringList{QStringLiteral("the body must be a JSON object")};
    const QJsonObject object = document.object();

    JsonMemberReader reader;
    UploadedActivities upload;
    upload.timezoneOffset = reader.offset(object, {}, QStringLiteral("timezone_offset"));
    const QJsonArray appSessions = reader.list(object, {}, QStringLiteral("user_activities"));
    for (const auto &[path, element] : reader.objects(appSessions, QStringLiteral("user_activities")))
        upload.appSessions.append(readAppSession(reader, path, element));
    if (!reader.faults().isEmpty())
        return reader.faults();
    return upload;
}

} // namespace hourloom::devserver
