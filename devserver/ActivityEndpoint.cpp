#include "ActivityEndpoint.h"

#include "AccountStore.h"

#include <QString>

namespace hourloom::devserver {

ActivityEndpoint::ActivityEndpoint(AccountStore &store)
    : store_(store)
{
}

void ActivityEndpoint::handle(const httplib::Request &request, httplib::Response &response)
{
    static const std::string scheme = "Bearer ";
    const std::string authorization = request.get_header_value("Authorization");
    const bool bearer = authorization.size() > scheme.size() && authorization.compare(0, scheme.size(), scheme) == 0;
    if (!bearer || !store_.accessTokenUser(QString::fromStdString(authorization.substr(scheme.size())))) {
        response.status = 401;
        response.set_header("WWW-Authenticate",
                            R"(Bearer realm="Hourloom", error="invalid_token", error_description="The access token is invalid")");
        return;
    }
    response.status = 200;
    response.set_content(R"({"errors":[],"messages":[]})", "application/json; charset=utf-8");
}

} // namespace hourloom::devserver
