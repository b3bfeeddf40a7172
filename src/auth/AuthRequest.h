#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace hourloom {

// The body of the password grant.
struct AuthRequest {
    std::optional<QString> username;
    std::optional<QString> password;
    QString clientId;
    QString clientSecret;
    QString grantType = QStringLiteral("password");

    // {"email", "password", "client_id", "client_secret", "grant_type"} in that order, absent
    // values as null; none when a text cannot be encoded.
    std::optional<QByteArray> encode() const;
};

} // namespace hourloom
