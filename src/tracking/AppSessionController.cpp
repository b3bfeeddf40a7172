#include "AppSessionController.h"

namespace hourloom {

AppSessionController::AppSessionController(std::shared_ptr<AppSessionProtocol> appSession)
    : appSession_(std::move(appSession))
{
}

void AppSessionController::endSession(const QDateTime &at)
{
    appSession_->end(at);
}

void AppSessionController::resumeSession(std::shared_ptr<AppSessionProtocol> session)
{
    if (!session)
        return;
    appSession_ = std::move(session);
    appSession_->setEndTime(std::nullopt);
}

AppSessionControllerType AppSessionController::type()
{
    return [](std::shared_ptr<AppSessionProtocol> appSession) -> std::shared_ptr<AppSessionControllerProtocol> {
        return std::make_shared<AppSessionController>(std::move(appSession));
    };
}

} // namespace hourloom
