#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace hourloom {

// The token endpoint's answer to both grants. The expiry members are required but never used:
// a new access token is fetched only when the upload endpoint rejects the current one.
struct AuthToken {
    std::optional<QString> accessToken;
    std::optional<QString> refreshToken;
    qint64 createdAt = 0;
    qint64 expiresIn = 0;

    // Throws DecodingError when the body is not a JSON object, "created_at" or "expires_in" is
    // missing, null or not an integer, or a token is neither absent, null nor a string.
    static AuthToken decode(const QByteArray &body);
};

} // namespace hourloom
