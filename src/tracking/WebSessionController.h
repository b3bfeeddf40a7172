#pragma once

#include "ScriptServiceProtocol.h"
#include "URLParser.h"
#include "WebScriptCache.h"
#include "WebScriptingPlatform.h"
#include "WebSessionControllerProtocol.h"
#include "core/ports/TimerProtocol.h"
#include "model/WebSessionProtocol.h"

#include <optional>

namespace hourloom {

// Polls one browser app session's URL and keeps one web session per domain in a row. Main loop
// only; only the script runs in the background.
class WebSessionController final : public WebSessionControllerProtocol,
                                   public std::enable_shared_from_this<WebSessionController> {
public:
    // Reads SECONDS_WEB_POLLING_INTERVAL and SECONDS_MIN_WEB_SESSION; polls nothing yet.
    WebSessionController(std::shared_ptr<AppSessionProtocol> appSession, WebScriptingPlatform platform);
    ~WebSessionController() override;

    // The factory app session controllers use.
    static WebSessionControllerClass type(WebScriptingPlatform platform);

    std::optional<QString> domain;
    std::shared_ptr<ScriptServiceProtocol> scriptService;
    // Receives the run failures of every poll.
    const ErrorLoggerProtocol *errorLogger;
    TimerProvider timerProvider;
    WebSessionType webSessionType;
    double webPollingInterval;
    double minWebSessionDuration;
    std::shared_ptr<TimerProtocol> timer;
    URLParser urlParser;
    // Where the browser's script is found; the process-wide cache unless a test hands another.
    std::shared_ptr<WebScriptCache> scriptCache;

    std::shared_ptr<AppSessionProtocol> appSession() const override { return appSession_; }
    void startPolling() override;
    void stopPolling() override;
    void resumeLastWebSession() override;
    void dropShortWebSession() override;

private:
    std::shared_ptr<ScriptLibraryProtocol> loadScript();
    void scheduleTimer(std::shared_ptr<ScriptLibraryProtocol> script, const QString &source);
    static void poll(const std::weak_ptr<WebSessionController> &weakSelf, const std::shared_ptr<ScriptLibraryProtocol> &script,
                     const QString &source);
    void handleScriptResponse(const std::shared_ptr<ScriptLibraryResponseProtocol> &response, quint64 round);
    void changeDomain(const std::optional<QString> &newDomain);
    void startWebSession(const QString &newDomain);

    std::shared_ptr<AppSessionProtocol> appSession_;
    WebScriptingPlatform platform_;
    // Names the script; the app session keeps the name the user sees.
    QString browserName_;
    // Counts stops: a script result applies only while the polling that asked for it goes on.
    quint64 pollingRound_ = 0;
};

} // namespace hourloom
