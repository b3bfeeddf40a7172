#include "URLSessionProtocol.h"

namespace hourloom {

QCoro::Task<std::variant<URLSessionResponse, URLSessionError>> URLSessionProtocol::upload(URLRequest request, QByteArray body)
{
    const URLSessionCompletion completion = co_await uploadTask(std::move(request), std::move(body));
    if (completion.error)
        co_return *completion.error;
    co_return URLSessionResponse{completion.data.value_or(QByteArray()), completion.response};
}

} // namespace hourloom
