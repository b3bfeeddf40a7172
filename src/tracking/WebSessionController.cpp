#include "WebSessionController.h"

#include "AppleScriptService.h"
#include "ScriptInitializeError.h"
#include "WebAppleScriptGenerator.h"
#include "core/Clock.h"
#include "core/Configuration.h"
#include "core/MainLoop.h"
#include "core/MainLoopTimer.h"
#include "model/WebSession.h"

namespace hourloom {

WebSessionController::WebSessionController(std::shared_ptr<AppSessionProtocol> appSession, WebScriptingPlatform platform)
    : scriptService(std::make_shared<AppleScriptService>())
    , errorLogger(platform.crashReporter)
    , timerProvider(MainLoopTimer::provider())
    , webSessionType(WebSession::type())
    , webPollingInterval(Configuration::secondsWebPollingInterval())
    , minWebSessionDuration(Configuration::secondsMinWebSession())
    , scriptCache(WebScriptCache::shared())
    , appSession_(std::move(appSession))
    , platform_(std::move(platform))
    , browserName_(WebAppleScriptGenerator::browserName(appSession_->appName(), appSession_->bundleIdentifier())
                       .value_or(appSession_->appName()))
{
}

WebSessionController::~WebSessionController()
{
    stopPolling();
}

WebSessionControllerClass WebSessionController::type(WebScriptingPlatform platform)
{
    return [platform = std::move(platform)](std::shared_ptr<AppSessionProtocol> appSession) -> std::shared_ptr<WebSessionControllerProtocol> {
        return std::make_shared<WebSessionController>(std::move(appSession), platform);
    };
}

std::shared_ptr<ScriptLibraryProtocol> WebSessionController::loadScript()
{
    // Compile failures always go to the crash reporter, whoever receives the run failures.
    try {
        return scriptCache->script(browserName_, *scriptService, platform_.libraryType, platform_.crashReporter);
    } catch (const ScriptInitializeError &) {
        // Without a script this browser is tracked as a plain application; nothing to report.
        return nullptr;
    }
}

void WebSessionController::startPolling()
{
    auto script = loadScript();
    if (!script)
        return;
    const QString source = WebAppleScriptGenerator::generateScript(browserName_);
    // The timer starts from the main loop, after the owner has had the chance to resume the last
    // web session, so the first poll compares against it.
    postToMainLoop([weakSelf = weak_from_this(), script = std::move(script), source] {
        if (const auto self = weakSelf.lock())
            self->scheduleTimer(script, source);
    });
}

void WebSessionController::scheduleTimer(std::shared_ptr<ScriptLibraryProtocol> script, const QString &source)
{
    timer = timerProvider(webPollingInterval, true, [weakSelf = weak_from_this(), script = std::move(script), source](TimerProtocol &) {
        poll(weakSelf, script, source);
    });
}

void WebSessionController::poll(const std::weak_ptr<WebSessionController> &weakSelf,
                                const std::shared_ptr<ScriptLibraryProtocol> &script, const QString &source)
{
    const auto self = weakSelf.lock();
    if (!self)
        return;
    // The service has reported a failed run already; a failure leaves the web session as it is.
    self->scriptService->executeScript(script, source, self->errorLogger,
                                       [weakSelf, round = self->pollingRound_](std::shared_ptr<ScriptLibraryResponseProtocol> response,
                                                                               std::optional<ScriptExecutionError>) {
                                           postToMainLoop([weakSelf, round, response = std::move(response)] {
                                               if (const auto self = weakSelf.lock())
                                                   self->handleScriptResponse(response, round);
                                           });
                                       });
}

void WebSessionController::handleScriptResponse(const std::shared_ptr<ScriptLibraryResponseProtocol> &response, quint64 round)
{
    // A run that finishes after its application lost the front belongs to an ended session.
    if (!response || round != pollingRound_ || !appSession_->isActive())
        return;
    // No text: the browser has no window, and the current web session simply goes on.
    const auto url = response->stringValue();
    if (!url)
        return;
    const auto newDomain = urlParser.parseDomain(*url);
    if (newDomain == domain)
        return;
    changeDomain(newDomain);
}

void WebSessionController::changeDomain(const std::optional<QString> &newDomain)
{
    const QDateTime now = Clock::now();
    if (const auto active = appSession_->activeWebSession())
        active->end(now);
    dropShortWebSession();
    domain = newDomain;
    if (domain)
        startWebSession(*domain);
}

void WebSessionController::startWebSession(const QString &newDomain)
{
    appSession_->webSessions().append(webSessionType(newDomain));
}

void WebSessionController::stopPolling()
{
    ++pollingRound_;
    const QDateTime now = Clock::now();
    if (const auto active = appSession_->activeWebSession())
        active->end(now);
    dropShortWebSession();
    if (timer)
        timer->invalidate();
}

void WebSessionController::resumeLastWebSession()
{
    auto &webSessions = appSession_->webSessions();
    if (webSessions.isEmpty())
        return;
    const auto &last = webSessions.last();
    last->setEndTime(std::nullopt);
    domain = last->webDomain()->domain();
}

void WebSessionController::dropShortWebSession()
{
    auto &webSessions = appSession_->webSessions();
    if (webSessions.isEmpty())
        return;
    const auto &last = webSessions.last();
    if (last->isActive())
        return;
    const auto duration = last->duration();
    if (duration && *duration < minWebSessionDuration)
        webSessions.removeLast();
}

} // namespace hourloom
