#include "AuthenticationError.h"

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
    }
    Q_UNREACHABLE();
    return {};
}

} // namespace hourloom
