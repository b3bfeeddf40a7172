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
    if (!WebAppleScriptGenerator::browserName(appSession_->appName(), appSession_->bundleIdentifier()) || !webSessionControllerClass_)
        return;
    // The controller it replaces stops its own polling when released.
    wsc_ = webSessionControllerClass_(appSession_);
    wsc_->startPolling();
}

void AppSessionController::endSession(const QDateTime &at)
{
    if (wsc_) {
        // The open web session ends at `at` before the poll stops, not at the moment it stops:
        // after a suspend `at` lies hours back.
        const auto webSession = wsc_->appSession()->activeWebSession();
        if (webSession)
            webSession->end(at);
        wsc_->stopPolling();
        if (webSession)
            wsc_->dropShortWebSession();
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
    if (WebAppleScriptGenerator::browserName(appSession_->appName(), appSession_->bundleIdentifier()) && wsc_)
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
