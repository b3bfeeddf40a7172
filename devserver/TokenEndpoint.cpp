#include "TokenEndpoint.h"

#include "AccountStore.h"
#include "RequestFields.h"
#include "SignInThrottle.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace hourloom::devserver {
namespace {

constexpr const char *invalidGrantDescription = "The provided authorization grant is invalid, expired, revoked, does not match the redirection URI used in the authorization request, or was issued to another client.";

void answer(httplib::Response &response, int status, const QJsonObject &body)
{
    response.status = status;
    // Token answers must never be cached on the way.
    response.set_header("Cache-Control", "no-store");
    response.set_header("Pragma", "no-cache");
    response.set_content(QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString(), "application/json; charset=utf-8");
}

void fail(httplib::Response &response, int status, const char *error, const char *description)
{
    answer(response, status, {{QStringLiteral("error"), QString::fromLatin1(error)},
                              {QStringLiteral("error_description"), QString::fromLatin1(description)}});
}

void grant(httplib::Response &response, const IssuedToken &token)
{
    answer(response, 200, {{QStringLiteral("access_token"), token.accessToken},
                           {QStringLiteral("token_type"), QStringLiteral("Bearer")},
                           {QStringLiteral("expires_in"), token.expiresIn},
                           {QStringLiteral("refresh_token"), token.refreshToken},
                           {QStringLiteral("created_at"), token.createdAt}});
}

} // namespace

TokenEndpoint::TokenEndpoint(AccountStore &store, SignInThrottle &throttle)
    : store_(store)
    , throttle_(throttle)
{
}

void TokenEndpoint::handle(const httplib::Request &request, httplib::Response &response)
{
    const auto fields = RequestFields::parse(request.get_header_value("Content-Type"), request.body);
    if (!fields)
        return fail(response, 400, "invalid_request", "The request body could not be read.");

    const auto grantType = fields->value(QStringLiteral("grant_type"));
    if (!grantType)
        return fail(response, 400, "invalid_request", "The request is missing a required parameter: grant_type.");
    const bool password = *grantType == u"password";
    if (!password && *grantType != u"refresh_token")
        return fail(response, 400, "unsupported_grant_type", "The authorization grant type is not supported by the authorization server.");

    const auto clientId = fields->value(QStringLiteral("client_id"));
    const auto clientSecret = fields->value(QStringLiteral("client_secret"));
    if (!clientId || !clientSecret || !store_.isClient(*clientId, *clientSecret))
        return fail(response, 401, "invalid_client", "Client authentication failed due to unknown client, no client authentication included, or unsupported authentication method.");

    if (password) {
        const auto email = fields->value(QStringLiteral("email"));
        const auto secret = fields->value(QStringLiteral("password"));
        if (!email || !secret)
            return fail(response, 400, "invalid_request", "The request is missing a required parameter: email or password.");
        const QString address = QString::fromStdString(request.remote_addr);
        if (const auto wait = throttle_.admit(address, *email)) {
            response.set_header("Retry-After", std::to_string(*wait));
            return fail(response, 429, "slow_down", "Too many failed sign-ins from this address or to this account; try again after the time in Retry-After.");
        }
        const auto token = store_.grantPassword(*clientId, *email, *secret);
        if (!token)
            return fail(response, 400, "invalid_grant", invalidGrantDescription);
        throttle_.succeeded(address, *email);
        return grant(response, *token);
    }

    const auto refreshToken = fields->value(QStringLiteral("refresh_token"));
    if (!refreshToken)
        return fail(response, 400, "invalid_request", "The request is missing a required parameter: refresh_token.");
    const auto token = store_.grantRefresh(*clientId, *refreshToken);
    if (!token)
        return fail(response, 400, "invalid_grant", invalidGrantDescription);
    grant(response, *token);
}

} // namespace hourloom::devserver
