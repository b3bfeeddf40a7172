#pragma once

// The local account service's HTTP API as its tests speak it: the token grants of the test
// configuration's client and uploads under a bearer token.
#include "core/Configuration.h"
#include "support/DevServerProcess.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <httplib.h>

#include <string>

namespace hourloom::test {

inline QJsonObject json(const httplib::Result &result)
{
    return result ? QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object() : QJsonObject();
}

// The answer's status; 0 when there was no answer.
inline int statusOf(const httplib::Result &result)
{
    return result ? result->status : 0;
}

inline std::string text(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

class ServiceClient : public httplib::Client {
public:
    explicit ServiceClient(int port, time_t readTimeoutSeconds = 30)
        : httplib::Client("127.0.0.1", port)
    {
        set_connection_timeout(5);
        set_read_timeout(readTimeoutSeconds);
    }

    // A token request of the given grant type from the test configuration's client.
    static QJsonObject grant(const QString &grantType, const QJsonObject &fields = {})
    {
        QJsonObject body{{"grant_type", grantType}, {"client_id", Configuration::apiClientId()}, {"client_secret", Configuration::apiClientSecret()}};
        for (auto field = fields.begin(); field != fields.end(); ++field)
            body.insert(field.key(), field.value());
        return body;
    }
    static QJsonObject passwordGrantBody(const QString &email = DevServerProcess::email, const QString &password = DevServerProcess::password)
    {
        return grant("password", {{"email", email}, {"password", password}});
    }

    httplib::Result token(const QJsonObject &body) { return Post("/oauth/token", text(body), "application/json"); }
    httplib::Result passwordGrant(const QString &email = DevServerProcess::email, const QString &password = DevServerProcess::password)
    {
        return token(passwordGrantBody(email, password));
    }
    httplib::Result refreshGrant(const QString &refreshToken) { return token(grant("refresh_token", {{"refresh_token", refreshToken}})); }
    QString accessToken(const QString &email = DevServerProcess::email, const QString &password = DevServerProcess::password)
    {
        return json(passwordGrant(email, password)).value("access_token").toString();
    }

    httplib::Result upload(const QString &accessToken, const std::string &body = R"({"timezone_offset":0,"user_activities":[]})")
    {
        return Post("/api/v1/user_activities", {{"Authorization", "Bearer " + accessToken.toStdString()}}, body, "application/json");
    }
};

} // namespace hourloom::test
