#include "RefreshRequest.h"

#include "model/JsonWriter.h"

namespace hourloom {

std::optional<QByteArray> RefreshRequest::encode() const
{
    return JsonWriter::textObject({{QLatin1StringView("refresh_token"), refreshToken},
                                   {QLatin1StringView("client_id"), clientId},
                                   {QLatin1StringView("client_secret"), clientSecret},
                                   {QLatin1StringView("grant_type"), grantType}});
}

} // namespace hourloom
