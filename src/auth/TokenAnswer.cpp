#include "TokenAnswer.h"

#include "model/DecodingError.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace hourloom {

URLRequest TokenAnswer::request(const QUrl &tokenEndpoint)
{
    URLRequest request;
    request.url = tokenEndpoint;
    request.httpMethod = "POST";
    request.setValue("application/json", "Content-Type");
    request.setValue("application/json", "Accept");
    return request;
}

std::variant<AuthToken, AuthResult> TokenAnswer::read(const URLSessionCompletion &completion, Grant grant)
{
    if (completion.error)
        return AuthResult::failure(AuthenticationError::networkConnectionFailure);
    if (completion.response) {
        // Other statuses are not errors by themselves: the body decides.
        if (completion.response->statusCode == 401 && grant == Grant::password)
            return AuthResult::failure(AuthenticationError::tokenAuthenticationIssue);
        if (completion.response->statusCode == 400)
            return AuthResult::failure(AuthenticationError::invalidLoginDetails);
        // The service slows down password guessing; its answer is no token answer.
        if (completion.response->statusCode == 429 && grant == Grant::password)
            return AuthResult::tooManyAttempts(completion.response->retryAfter());
    }
    if (!completion.data)
        return AuthResult::failure(AuthenticationError::noResponseToken);
    try {
        return AuthToken::decode(*completion.data);
    } catch (const DecodingError &error) {
        return AuthResult::decodingFailure(QString::fromStdString(error.what()));
    }
}

bool TokenAnswer::refusesGrant(const URLSessionCompletion &completion)
{
    if (!completion.response || completion.response->statusCode != 400 || !completion.data)
        return false;
    return QJsonDocument::fromJson(*completion.data).object().value(QLatin1String("error")).toString() == QLatin1String("invalid_grant");
}

} // namespace hourloom
