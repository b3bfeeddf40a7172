#pragma once

#include "SessionBatchAPIDispatcherProtocol.h"
#include "core/Configuration.h"
#include "core/ports/URLSessionProtocol.h"

#include <optional>
#include <variant>

namespace hourloom {

class AuthControllerProtocol;
class RefreshTokenController;

// One upload: an authorised POST of the body; when the access token is rejected, one refresh
// grant and one retry with the renewed token.
class SessionBatchAPIDispatcher final : public SessionBatchAPIDispatcherProtocol {
public:
    SessionBatchAPIDispatcher(std::shared_ptr<AuthControllerProtocol> authController,
                              std::shared_ptr<RefreshTokenController> refreshTokenController,
                              QUrl rootURL = Configuration::rootURL());

    QUrl postSessionBatchURL() const override { return postSessionBatchURL_; }
    QCoro::Task<UploadResult> sendSessionBatch(QByteArray data, std::shared_ptr<URLSessionProtocol> urlSession) override;

    // The answer, or the transport error that kept it from arriving.
    QCoro::Task<std::variant<UploadResult, URLSessionError>> postSessionBatch(QByteArray data, URLRequest request,
                                                                              std::shared_ptr<URLSessionProtocol> urlSession);
    // The request for the endpoint with the stored access token; none without a token.
    QCoro::Task<std::optional<URLRequest>> makeRequest();

    std::shared_ptr<RefreshTokenController> refreshTokenController;

private:
    static UploadResult read(const URLSessionResponse &response);

    const QUrl postSessionBatchURL_;
    const std::shared_ptr<AuthControllerProtocol> authController_;
};

} // namespace hourloom
