#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

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
    // The service refuses further attempts for a while (429 after repeated wrong passwords).
    tooManyAttempts,
};

// The message shown, translated when a translation is installed (the message is the key).
QString localizedDescription(AuthenticationError error);

// tooManyAttempts's message with the wait until `retryAfter`, in whole minutes or seconds
// rounded up; the plain message when the service named no time.
QString tooManyAttemptsDescription(const std::optional<QDateTime> &retryAfter);

} // namespace hourloom
