#pragma once

#include "tracking/WebSessionControllerProtocol.h"

#include <QStringList>

namespace hourloom::test {

// Records what its app session controller asks of it; does nothing else.
class FakeWebSessionController final : public WebSessionControllerProtocol {
public:
    explicit FakeWebSessionController(std::shared_ptr<AppSessionProtocol> appSession)
        : appSession_(std::move(appSession))
    {
    }

    std::shared_ptr<AppSessionProtocol> appSession() const override { return appSession_; }
    void startPolling() override { calls << QStringLiteral("startPolling"); }
    void stopPolling() override { calls << QStringLiteral("stopPolling"); }
    void resumeLastWebSession() override { calls << QStringLiteral("resumeLastWebSession"); }
    void dropShortWebSession() override { calls << QStringLiteral("dropShortWebSession"); }

    QStringList calls;

private:
    std::shared_ptr<AppSessionProtocol> appSession_;
};

} // namespace hourloom::test
