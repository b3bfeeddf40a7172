#pragma once

#include "AppDelegate.h"
#include "core/ports/ApplicationServices.h"
#include "core/MenuPresentation.h"

#include <qcoro/qcorotask.h>

#include <memory>

namespace hourloom {

class AuthControllerProtocol;
class UserActivityControllerProtocol;

// The agent's application object (a macOS name kept on Linux, see "Names" in docs/ARCHITECTURE.md).
// The application: builds the long-lived controllers once, in order, hands them to each other,
// starts crash reporting in production, registers launch at login at the first launch, makes sure
// the device has an identifier, and resumes tracking for a stored login.
class HourloomOSXApp {
public:
    // Start-up; the stored access token is read from the credential store on the way.
    static QCoro::Task<std::unique_ptr<HourloomOSXApp>> make(ApplicationServices services,
                                                            AppDelegate::TerminationReply replyToApplication = {});

    const std::shared_ptr<AppDelegate> appDelegate;
    MenuPresentation isMenuPresented;
    std::shared_ptr<AuthControllerProtocol> authController;
    std::shared_ptr<UserActivityControllerProtocol> userActivityController;
    const std::shared_ptr<UpdaterProtocol> updaterController;
    // Kept for the life of the application: browser scripting reports through its error logger.
    std::shared_ptr<CrashReporterProtocol> crashReporter;

    // Reads every configuration value start-up needs, in the order the construction meets them:
    // a document with several broken keys stops the agent naming the first of them, whatever the
    // platform services built before the application read for themselves.
    static void readConfigurationInConstructionOrder();

    // The persisted "loggedIn" default, which chooses the tray icon and the panel's content.
    static bool loggedIn();
    // Crash reporting runs in the production environment only (exact spelling).
    static bool startsCrashReporting(const QString &environment);

private:
    HourloomOSXApp(std::shared_ptr<AppDelegate> delegate, std::shared_ptr<UpdaterProtocol> updater);
    QCoro::Task<void> startUp(ApplicationServices services);
};

} // namespace hourloom
