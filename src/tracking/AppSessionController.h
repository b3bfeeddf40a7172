#pragma once

#include "AppSessionControllerProtocol.h"

namespace hourloom {

class AppSessionController final : public AppSessionControllerProtocol {
public:
    explicit AppSessionController(std::shared_ptr<AppSessionProtocol> appSession);

    std::shared_ptr<AppSessionProtocol> appSession() const override { return appSession_; }
    void endSession(const QDateTime &at) override;
    void resumeSession(std::shared_ptr<AppSessionProtocol> session) override;

    static AppSessionControllerType type();

private:
    std::shared_ptr<AppSessionProtocol> appSession_;
};

} // namespace hourloom
