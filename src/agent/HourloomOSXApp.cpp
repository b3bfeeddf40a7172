#include "HourloomOSXApp.h"

#include "TrackingStack.h"
#include "auth/AuthController.h"
#include "auth/RefreshTokenController.h"
#include "core/Configuration.h"
#include "core/DeviceName.h"
#include "core/UserDefaults.h"
#include "model/SessionBatch.h"
#include "tracking/SessionBatchController.h"
#include "upload/SessionBatchAPIDispatcher.h"
#include "upload/SessionOutbox.h"
#include "upload/UserActivityController.h"

#include <QUuid>

namespace hourloom {

HourloomOSXApp::HourloomOSXApp(std::shared_ptr<AppDelegate> delegate, std::shared_ptr<UpdaterProtocol> updater)
    : appDelegate(std::move(delegate))
    , updaterController(std::move(updater))
{
}

bool HourloomOSXApp::startsCrashReporting(const QString &environment)
{
    return environment == QLatin1String("Production");
}

void HourloomOSXApp::readConfigurationInConstructionOrder()
{
    // The login controller's endpoint and client come first, then the environment, which names
    // the credential store's account it reads the stored login from. The upload scheduler is
    // built here from its parts up, but its own construction reads its period before it makes
    // the session batch controller, which reads its minimum before its idle controller reads the
    // idle values.
    Configuration::tokenEndpoint();
    Configuration::apiClientId();
    Configuration::apiClientSecret();
    Configuration::environment();
    Configuration::secondsBetweenApiSends();
    Configuration::secondsMinAppSession();
    Configuration::idlePollingInterval();
    Configuration::minIdleTime();
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
    readConfigurationInConstructionOrder();
    crashReporter = services.crashReporter;
    auto keychain = services.keychainHelper;
    auto auth = co_await AuthController::make(keychain, services.urlSession);
    authController = auth;

    const bool reportsCrashes = startsCrashReporting(Configuration::environment());
    const ErrorLoggerProtocol *errorLogger = reportsCrashes ? &services.crashReporter->errorLogger() : services.localErrorLogger;
    const TrackingStack tracking = TrackingStack::build({
        .activations = *services.workspaceCenter,
        .workspace = services.workspace,
        .idleSeconds = services.eventSource,
        .input = services.eventTracker,
        .timerProvider = services.timerProvider,
        .webScripting = WebScriptingPlatform{services.scriptLibraryType, errorLogger},
        .outboxStore = services.outbox,
        .sessionBatchType = SessionBatch::type([] {
            return SessionBatch::Device{UserDefaults::string(UserDefaults::deviceIdKey),
                                        DeviceName::current().value_or(SessionBatch::unknownDevice)};
        }),
    });
    const auto sessionBatchController = tracking.controller;
    const auto outbox = tracking.outbox;
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
