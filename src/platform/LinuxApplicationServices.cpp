#include "LinuxApplicationServices.h"

#include "platform/desktops/PlatformBackend.h"
#include "core/Configuration.h"
#include "core/MainLoopTimer.h"
#include "platform/services/autostart/XdgAutostart.h"
#include "platform/services/browser/BridgeScriptLibrary.h"
#include "platform/services/errors/StandardErrorLogger.h"
#include "platform/services/net/NetworkURLSession.h"
#include "platform/services/secret/KeychainHelper.h"
#include "platform/services/sentry/CrashMarker.h"
#include "platform/services/sentry/SentryClient.h"
#include "platform/services/store/SqliteOutbox.h"
#include "platform/services/updater/AppcastUpdater.h"
#include "platform/services/updater/MessageBoxUpdatePresenter.h"

#include <QCoreApplication>

namespace hourloom {

ApplicationServices linuxApplicationServices(NotificationCenter &workspaceCenter)
{
    const auto urlSession = std::make_shared<NetworkURLSession>();
    const PlatformBackend backend = PlatformBackend::forDesktop(workspaceCenter);
    ApplicationServices services;
    services.updater = std::make_shared<AppcastUpdater>(urlSession, Configuration::updateFeedURL(),
                                                        Configuration::shortVersion().value_or(QString()),
                                                        std::make_shared<MessageBoxUpdatePresenter>(),
                                                        UpdateLinkPolicy(Configuration::environment() == u"Development"));
    services.keychainHelper = std::make_shared<KeychainHelper>();
    services.urlSession = urlSession;
    services.workspaceCenter = &workspaceCenter;
    services.workspace = backend.workspace;
    services.eventSource = backend.eventSource;
    services.eventTracker = backend.eventTracker;
    services.scriptLibraryType = BridgeScriptLibrary::type();
    services.crashReporter = std::make_shared<SentryClient>(urlSession, CrashMarker::defaultPath());
    services.localErrorLogger = StandardErrorLogger::shared();
    services.launchAtLogin = std::make_shared<XdgAutostart>(QCoreApplication::applicationFilePath());
    services.timerProvider = MainLoopTimer::provider();
    services.outbox = std::make_shared<SqliteOutbox>(SqliteOutbox::defaultPath());
    return services;
}

} // namespace hourloom
