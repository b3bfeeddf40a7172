#pragma once

#include <QString>

namespace hourloom {

// The failures of login and refresh that the user is shown. The numeric value is the code.
enum class AuthenticationError {
    networkConnectionFailure,
    noResponseToken,
    decodeTokenError,
    encodeRefreshToken,
    encodeUserDetails,
    invalidLoginDetails,
    tokenAuthenticationIssue,
};

// The message shown, translated when a translation is installed (the message is the key).
QString localizedDescription(AuthenticationError error);

} // namespace hourloom
