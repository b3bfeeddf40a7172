#pragma once

#include "core/ports/URLSessionProtocol.h"

#include <QHash>

namespace hourloom::test {

// The real HTTP client, counting the requests it sends by path.
class CountingURLSession final : public URLSessionProtocol {
public:
    explicit CountingURLSession(std::shared_ptr<URLSessionProtocol> inner)
        : inner_(std::move(inner))
    {
    }

    QCoro::Task<URLSessionCompletion> uploadTask(URLRequest request, QByteArray body) override
    {
        ++sent[request.url.path()];
        return inner_->uploadTask(std::move(request), std::move(body));
    }

    QHash<QString, int> sent;

private:
    std::shared_ptr<URLSessionProtocol> inner_;
};

} // namespace hourloom::test
