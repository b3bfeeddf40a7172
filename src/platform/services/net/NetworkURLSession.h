#pragma once

#include "core/ports/URLSessionProtocol.h"

#include <QNetworkAccessManager>

#include <chrono>

namespace hourloom {

// URLSessionProtocol over a QNetworkAccessManager of the main loop. Every exchange gives up
// after the time-out, with or without progress; only tests shorten it.
class NetworkURLSession final : public URLSessionProtocol {
public:
    static constexpr std::chrono::milliseconds defaultTimeout = std::chrono::seconds(60);

    explicit NetworkURLSession(std::chrono::milliseconds timeout = defaultTimeout);

    QCoro::Task<URLSessionCompletion> uploadTask(URLRequest request, QByteArray body) override;

private:
    QNetworkAccessManager manager_;
    std::chrono::milliseconds timeout_;
};

} // namespace hourloom
