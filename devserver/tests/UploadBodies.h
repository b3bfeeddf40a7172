#pragma once

// App and web sessions as the agent uploads them and as the service's read-out answers them,
// for the tests that seed the local account service through its real upload API.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <string>

namespace hourloom::test {

struct Web {
    QString id, start, end, domain;
    QJsonObject uploaded() const
    {
        return {{"id", id}, {"start_time", start}, {"end_time", end}, {"web_domain_attributes", QJsonObject{{"domain", domain}}}};
    }
    QJsonObject stored() const { return {{"id", id}, {"start_time", start}, {"end_time", end}, {"domain", domain}}; }
};

struct App {
    QString id, start, end, name;
    QList<Web> webs;
    QJsonObject uploaded() const
    {
        QJsonArray webSessions;
        for (const Web &web : webs)
            webSessions.append(web.uploaded());
        return {{"id", id}, {"start_time", start}, {"end_time", end}, {"web_sessions_attributes", webSessions},
                {"desktop_app_attributes", QJsonObject{{"app_name", name}, {"app_identifier", "id." + name}}}};
    }
    QJsonObject stored(int timezoneOffset) const
    {
        QJsonArray webSessions;
        for (const Web &web : webs)
            webSessions.append(web.stored());
        return {{"id", id}, {"start_time", start}, {"end_time", end}, {"app_name", name}, {"app_identifier", "id." + name},
                {"timezone_offset", timezoneOffset}, {"web_sessions", webSessions}};
    }
};

inline std::string uploadOf(int timezoneOffset, const QList<App> &apps)
{
    QJsonArray list;
    for (const App &app : apps)
        list.append(app.uploaded());
    const QJsonObject body{{"timezone_offset", timezoneOffset}, {"user_activities", list}};
    return QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString();
}

} // namespace hourloom::test
