#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace hourloom {

// The body of the refresh-token grant.
struct RefreshRequest {
    QString clientId;
    QString clientSecret;
    QString grantType = QStringLiteral("refresh_token");
    std::optional<QString> refreshToken;

    // {"refresh_token", "client_id", "client_secret", "grant_type"} in that order, an absent
    // refresh token as null; none when a text cannot be encoded.
    std::optional<QByteArray> encode() const;
};

} // namespace hourloom
