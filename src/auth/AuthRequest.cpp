#include "AuthRequest.h"

#include "model/JsonWriter.h"

namespace hourloom {

std::optional<QByteArray> AuthRequest::encode() const
{
    return JsonWriter::textObject({{QLatin1StringView("email"), username},
                                   {QLatin1StringView("password"), password},
                                   {QLatin1StringView("client_id"), clientId},
                                   {QLatin1StringView("client_secret"), clientSecret},
                                   {QLatin1StringView("grant_type"), grantType}});
}

} // namespace hourloom
