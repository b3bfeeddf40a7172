#pragma once

#include "core/ports/ErrorLoggerProtocol.h"

namespace hourloom {

class SentryClient;

// The error logger of a SentryClient: hands each error to the client, which sends it in the
// background. Lives inside the client.
class SentryErrorLogger final : public ErrorLoggerProtocol {
public:
    explicit SentryErrorLogger(SentryClient &client);

    void capture(const ReportableError &error) const override;

private:
    SentryClient &client_;
};

} // namespace hourloom
