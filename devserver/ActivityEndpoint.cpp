#include "ActivityEndpoint.h"

#include "AccountStore.h"
#include "ActivityStore.h"
#include "UploadedActivities.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace hourloom::devserver {
namespace {

void answer(httplib::Response &response, int status, const QJsonObject &body)
{
    response.status = status;
    response.set_content(QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString(), "application/json; charset=utf-8");
}

// {"<key>": [{"message": ...}, ...]}, the shape of the account service's answers.
QJsonObject messages(const QString &key, const QStringList &texts)
{
    QJsonArray list;
    for (const QString &text : texts)
        list.append(QJsonObject{{QStringLiteral("message"), text}});
    return {{key, list}};
}

} // namespace

ActivityEndpoint::ActivityEndpoint(AccountStore &accounts, ActivityStore &activities)
    : accounts_(accounts)
    , activities_(activities)
{
}

void ActivityEndpoint::handle(const httplib::Request &request, httplib::Response &response)
{
    static const std::string scheme = "Bearer ";
    const std::string authorization = request.get_header_value("Authorization");
    const bool bearer = authorization.size() > scheme.size() && authorization.compare(0, scheme.size(), scheme) == 0;
    const auto userId = bearer ? accounts_.accessTokenUser(QString::fromStdString(authorization.substr(scheme.size()))) : std::nullopt;
    if (!userId) {
        response.status = 401;
        response.set_header("WWW-Authenticate",
                            R"(Bearer realm="Hourloom", error="invalid_token", error_description="The access token is invalid")");
        return;
    }

    const auto parsed = UploadedActivities::parse(QByteArray::fromStdString(request.body));
    if (const auto *faults = std::get_if<QStringList>(&parsed))
        return answer(response, 422, messages(QStringLiteral("errors"), *faults));
    const auto &upload = std::get<UploadedActivities>(parsed);
    if (const auto fault = activities_.store(*userId, upload))
        return answer(response, 422, messages(QStringLiteral("errors"), {*fault}));

    qsizetype webSessions = 0;
    for (const UploadedAppSession &app : upload.appSessions)
        webSessions += app.webSessions.size();
    answer(response, 201, messages(QStringLiteral("messages"), {QStringLiteral("Stored %1 app sessions and %2 web sessions")
                                                                     .arg(upload.appSessions.size())
                                                                     .arg(webSessions)}));
}

void ActivityEndpoint::readOut(const httplib::Request &, httplib::Response &response)
{
    answer(response, 200, activities_.readOut());
}

} // namespace hourloom::devserver
