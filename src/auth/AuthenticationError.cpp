#include "AuthenticationError.h"

#include "core/Clock.h"

#include <QCoreApplication>

namespace hourloom {

QString localizedDescription(AuthenticationError error)
{
    // The third argument is the translator's comment.
    const auto message = [](const char *text, const char *comment) {
        return QCoreApplication::translate("AuthenticationError", text, comment);
    };
    switch (error) {
    case AuthenticationError::networkConnectionFailure:
        return message("Couldn't connect to the server. Is your internet working?", "Server error");
    case AuthenticationError::noResponseToken:
        return message("No response from server. Please try again later", "No server response");
    case AuthenticationError::decodeTokenError:
        return message("Couldn't decode token. Please try again later", "Decode Token Error");
    case AuthenticationError::encodeRefreshToken:
        return message("Couldn't renew authentication token. Please try again later", "Encode refresh Error");
    case AuthenticationError::encodeUserDetails:
        return message("Couldn't send login details. Please try again later", "Encode Login Error");
    case AuthenticationError::invalidLoginDetails:
        return message("Invalid login details", "Invalid Login");
    case AuthenticationError::tokenAuthenticationIssue:
        return message("Token Authentication Issue. Try again later", "Bad Auth Tokens");
    case AuthenticationError::tooManyAttempts:
        return message("Too many login attempts. Please wait a moment and try again", "Throttled Login");
    }
    Q_UNREACHABLE();
    return {};
}

QString tooManyAttemptsDescription(const std::optional<QDateTime> &retryAfter)
{
    if (!retryAfter)
        return localizedDescription(AuthenticationError::tooManyAttempts);
    const auto message = [](const char *text, qint64 count) {
        return QCoreApplication::translate("AuthenticationError", text, "Throttled Login").arg(count);
    };
    const qint64 seconds = std::max<qint64>(1, (Clock::now().msecsTo(*retryAfter) + 999) / 1000);
    if (seconds == 1)
        return message("Too many login attempts. Please try again in %1 second", seconds);
    if (seconds < 60)
        return message("Too many login attempts. Please try again in %1 seconds", seconds);
    const qint64 minutes = (seconds + 59) / 60;
    if (minutes == 1)
        return message("Too many login attempts. Please try again in %1 minute", minutes);
    return message("Too many login attempts. Please try again in %1 minutes", minutes);
}

} // namespace hourloom
