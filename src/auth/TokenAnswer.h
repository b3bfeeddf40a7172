#pragma once

#include "AuthResult.h"
#include "AuthToken.h"

#include "core/ports/URLSessionProtocol.h"

#include <QUrl>

#include <variant>

namespace hourloom {

// The token endpoint's exchanges, shared by the password grant and the refresh-token grant.
class TokenAnswer {
public:
    enum class Grant { password, refreshToken };

    // POST with JSON body and JSON answer.
    static URLRequest request(const QUrl &tokenEndpoint);

    // The decoded answer, or the failure to report: a transport error, a 400, for the password
    // grant a 401 or a 429 (with the wait the service asks for), an answer without a body, or
    // one that does not decode.
    static std::variant<AuthToken, AuthResult> read(const URLSessionCompletion &completion, Grant grant);
    // A 400 with the error "invalid_grant": the service will never take this grant again
    // (a revoked or expired refresh token, a changed password).
    static bool refusesGrant(const URLSessionCompletion &completion);
};

} // namespace hourloom
