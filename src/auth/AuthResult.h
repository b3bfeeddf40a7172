#pragma once

#include "AuthenticationError.h"

#include <QString>

#include <optional>

namespace hourloom {

// How a login or a refresh ended: a short success text, or a failure whose description is
// what the user is shown. A failure is an AuthenticationError or, for an answer that is not a
// token answer, the JSON decoder's own error.
class AuthResult {
public:
    // An empty failure, for holders that need a default value (futures, waitFor).
    AuthResult() = default;
    static AuthResult success(const QString &text) { return AuthResult(true, text, std::nullopt); }
    static AuthResult failure(AuthenticationError error) { return AuthResult(false, localizedDescription(error), error); }
    static AuthResult tooManyAttempts(const std::optional<QDateTime> &retryAfter)
    {
        return AuthResult(false, tooManyAttemptsDescription(retryAfter), AuthenticationError::tooManyAttempts);
    }
    static AuthResult decodingFailure(const QString &decoderDescription) { return AuthResult(false, decoderDescription, std::nullopt); }

    bool isSuccess() const { return success_; }
    // The success text, or the failure's localized description.
    const QString &text() const { return text_; }
    // The AuthenticationError of a failure; none for a success and for a decoder error.
    std::optional<AuthenticationError> error() const { return error_; }

private:
    AuthResult(bool success, QString text, std::optional<AuthenticationError> error)
        : success_(success)
        , text_(std::move(text))
        , error_(error)
    {
    }

    bool success_ = false;
    QString text_;
    std::optional<AuthenticationError> error_;
};

} // namespace hourloom
