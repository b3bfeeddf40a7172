#include "SessionBatchAPIDispatcher.h"

#include "auth/AuthControllerProtocol.h"
#include "auth/RefreshTokenController.h"
#include "core/Log.h"

namespace hourloom {

SessionBatchAPIDispatcher::SessionBatchAPIDispatcher(std::shared_ptr<AuthControllerProtocol> authController,
                                                     std::shared_ptr<RefreshTokenController> refreshTokenController,
                                                     QUrl rootURL)
    : refreshTokenController(std::move(refreshTokenController))
    , postSessionBatchURL_(Configuration::appendingPath(rootURL, QStringLiteral("/api/v1/user_activities")))
    , authController_(std::move(authController))
{
}

QCoro::Task<std::optional<URLRequest>> SessionBatchAPIDispatcher::makeRequest()
{
    URLRequest request;
    request.url = postSessionBatchURL_;
    request.httpMethod = "POST";
    request.setValue("application/json", "Content-Type");
    const std::optional<QString> token = co_await authController_->getAccessToken();
    if (!token)
        co_return std::nullopt;
    request.setValue("Bearer " + token->toUtf8(), "Authorization");
    co_return request;
}

QCoro::Task<UploadResult> SessionBatchAPIDispatcher::sendSessionBatch(QByteArray data, std::shared_ptr<URLSessionProtocol> urlSession)
{
    const std::optional<URLRequest> request = co_await makeRequest();
    if (!request)
        co_return UploadResult{};
    auto outcome = co_await postSessionBatch(std::move(data), *request, std::move(urlSession));
    if (std::holds_alternative<URLSessionError>(outcome)) {
        logLine(lcUpload, QStringLiteral("Could not send data to API"));
        co_return UploadResult{};
    }
    co_return std::get<UploadResult>(std::move(outcome));
}

QCoro::Task<std::variant<UploadResult, URLSessionError>> SessionBatchAPIDispatcher::postSessionBatch(
    QByteArray data, URLRequest request, std::shared_ptr<URLSessionProtocol> urlSession)
{
    auto first = co_await urlSession->upload(std::move(request), data);
    if (const auto *error = std::get_if<URLSessionError>(&first))
        co_return *error;
    const auto &firstResponse = std::get<URLSessionResponse>(first);
    if (!firstResponse.response || firstResponse.response->statusCode != 401)
        co_return read(firstResponse);

    // The access token was refused: renew it once and try once more, whatever the renewal said.
    co_await refreshTokenController->refreshToken();
    const std::optional<URLRequest> retryRequest = co_await makeRequest();
    if (!retryRequest)
        co_return UploadResult{std::nullopt, UploadStatus::failed, 401};
    auto second = co_await urlSession->upload(*retryRequest, data);
    if (const auto *error = std::get_if<URLSessionError>(&second))
        co_return *error;
    co_return read(std::get<URLSessionResponse>(second));
}

UploadResult SessionBatchAPIDispatcher::read(const URLSessionResponse &response)
{
    UploadResult result;
    result.answer = ApiActivityUploadResponseData::fromJson(response.data);
    result.statusCode = response.response ? response.response->statusCode : 0;
    const int code = result.statusCode;
    if (code >= 200 && code < 300)
        result.status = UploadStatus::accepted;
    else if (code == 413)
        result.status = UploadStatus::tooLarge;
    else if (code >= 400 && code < 500 && code != 401 && code != 429)
        result.status = UploadStatus::refused;
    else
        result.status = UploadStatus::failed;
    return result;
}

} // namespace hourloom
