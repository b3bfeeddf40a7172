#include "HourloomOSXApp.h"

#include "Configuration.h"
#include "UserDefaults.h"
#include "auth/AuthController.h"
#include "auth/RefreshTokenController.h"
#include "model/SessionBatch.h"
#include "tracking/AppSessionController.h"
#include "tracking/AppSwitchTracker.h"
#include "tracking/IdleTimeController.h"
#include "tracking/IdleTimeTracker.h"
#include "tracking/SessionBatchController.h"
#include "tracking/WebSessionController.h"
#include "upload/SessionBatchAPIDispatcher.h"
#include "upload/SessionOutbox.h"
#include "upload/UserActivityController.h"

#include <QUuid>

namespace hourloom {
namespace {

// The upload scheduler is built here from its parts up, but its own construction reads its period
// before it makes the session batch controller, which reads its minimum before its idle controller
// reads the idle values. Reading them first, in that order, makes a document with several broken
// keys stop start-up naming the key the scheduler meets first.
void readSchedulerConfigurationInConstructionOrder()
{
    Configuration::secondsBetweenApiSends();
    Configuration::secondsMinAppSession();
    Configuration::idlePollingInterval();
    Configuration::minIdleTime();
}

} // namespace

HourloomOSXApp::HourloomOSXApp(std::shared_ptr<AppDelegate> delegate, std::shared_ptr<UpdaterProtocol> updater)
    : appDelegate(std::move(delegate))
    , updaterController(std::move(updater))
{
}

bool HourloomOSXApp::startsCrashReporting(const QString &environment)
{
    return environment == QLatin1String("Production");
}

bool HourloomOSXApp::loggedIn()
{
    return UserDefaults::boolean(UserDefaults::loggedInKey);
}

QCoro::Task<std::unique_ptr<HourloomOSXApp>> HourloomOSXApp::make(ApplicationServices services,
                                                                 AppDelegate::TerminationReply replyToApplication)
{
    auto delegate = replyToApplication ? std::make_shared<AppDelegate>(std::move(replyToApplication)) : std::make_shared<AppDelegate>();
    std::unique_ptr<HourloomOSXApp> app(new HourloomOSXApp(std::move(delegate), services.updater));
    co_await app->startUp(std::move(services));
    co_return app;
}

QCoro::Task<void> HourloomOSXApp::startUp(ApplicationServices services)
{
    crashReporter = services.crashReporter;
    auto keychain = services.keychainHelper;
    auto auth = co_await AuthController::make(keychain, services.urlSession);
    authController = auth;
    readSchedulerConfigurationInConstructionOrder();

    IdleTimeTracker::eventSource = services.eventSource;
    auto tracker = std::make_shared<AppSwitchTracker>(*services.workspaceCenter, AppSwitchTracker::didActivateApplicationNotification,
                                                      AppSwitchTracker::applicationUserInfoKey, services.workspace);
    auto idle = std::make_shared<IdleTimeController>(services.eventTracker, services.timerProvider);
    const bool reportsCrashes = startsCrashReporting(Configuration::environment());
    const ErrorLoggerProtocol *errorLogger = reportsCrashes ? &services.crashReporter->errorLogger() : services.localErrorLogger;
    const WebScriptingPlatform scripting{services.scriptLibraryType, errorLogger};
    auto outbox = services.outbox ? std::make_shared<SessionOutbox>(services.outbox) : nullptr;
    const std::weak_ptr<SessionOutbox> weakOutbox = outbox;
    auto sessionBatchController = std::make_shared<SessionBatchController>(
        tracker, idle, WebSessionController::type(scripting), SessionBatch::type(), AppSessionController::type([weakOutbox] {
            if (const auto sessionOutbox = weakOutbox.lock())
                sessionOutbox->scheduleWrite();
        }));
    if (outbox)
        outbox->setSessionBatchController(sessionBatchController);
    auto refresh = std::make_shared<RefreshTokenController>(auth, keychain, services.urlSession);
    auto dispatcher = std::make_shared<SessionBatchAPIDispatcher>(auth, refresh);
    auto scheduler = std::make_shared<UserActivityController>(auth, keychain, sessionBatchController, dispatcher,
                                                              services.urlSession, services.timerProvider, outbox);
    userActivityController = scheduler;
    refresh->loginRefused = [weakScheduler = std::weak_ptr<UserActivityController>(scheduler)] {
        if (const auto current = weakScheduler.lock())
            current->endExpiredLogin();
    };
    appDelegate->userActivityController = scheduler;

    if (reportsCrashes)
        services.crashReporter->start({Configuration::sentryDSN(), Configuration::environment(), Configuration::shortVersion()});

    if (!UserDefaults::boolean(UserDefaults::launchedBeforeKey)) {
        services.launchAtLogin->registerMainApp(); // a failure changes nothing
        UserDefaults::setBoolean(UserDefaults::launchedBeforeKey, true);
    }
    if (!UserDefaults::string(UserDefaults::deviceIdKey))
        UserDefaults::setString(UserDefaults::deviceIdKey, QUuid::createUuid().toString(QUuid::WithoutBraces));

    co_await scheduler->start();
}

} // namespace hourloom
