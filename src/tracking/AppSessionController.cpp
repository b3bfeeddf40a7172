#include "AppSessionController.h"

#include "WebAppleScriptGenerator.h"

namespace hourloom {

AppSessionController::AppSessionController(std::shared_ptr<AppSessionProtocol> appSession,
                                           WebSessionControllerClass webSessionControllerClass,
                                           std::function<void()> sessionEnded)
    : webSessionControllerClass_(std::move(webSessionControllerClass))
    , appSession_(std::move(appSession))
    , sessionEnded_(std::move(sessionEnded))
{
    startWebTrackingIfBrowser();
}

void AppSessionController::startWebTrackingIfBrowser()
{
    if (!WebAppleScriptGenerator::isBrowser(appSession_->appName()) || !webSessionControllerClass_)
        return;
    // The controller it replaces stops its own polling when released.
    wsc_ = webSessionControllerClass_(appSession_);
    wsc_->startPolling();
}

void AppSessionController::endSession(const QDateTime &at)
{
    if (wsc_) {
        wsc_->stopPolling();
        if (const auto webSession = wsc_->appSession()->activeWebSession()) {
            webSession->end(at);
            wsc_->dropShortWebSession();
        }
    }
    appSession_->end(at);
    if (sessionEnded_)
        sessionEnded_();
}

void AppSessionController::resumeSession(std::shared_ptr<AppSessionProtocol> session)
{
    if (!session)
        return;
    appSession_ = std::move(session);
    appSession_->setEndTime(std::nullopt);
    startWebTrackingIfBrowser();
    // The first poll of the fresh controller runs later, so it already sees the reopened web
    // session and its domain.
    if (WebAppleScriptGenerator::isBrowser(appSession_->appName()) && wsc_)
        wsc_->resumeLastWebSession();
}

AppSessionControllerType AppSessionController::type(std::function<void()> sessionEnded)
{
    return [sessionEnded](std::shared_ptr<AppSessionProtocol> appSession,
                          WebSessionControllerClass webSessionControllerClass) -> std::shared_ptr<AppSessionControllerProtocol> {
        return std::make_shared<AppSessionController>(std::move(appSession), std::move(webSessionControllerClass), sessionEnded);
    };
}

} // namespace hourloom
