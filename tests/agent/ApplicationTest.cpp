#include "agent/HourloomOSXApp.h"
#include "core/UserDefaults.h"
#include "auth/AuthControllerProtocol.h"
#include "model/AppSession.h"
#include "tracking/AppSessionControllerProtocol.h"
#include "tracking/AppSwitchTracker.h"
#include "tracking/SessionBatchControllerProtocol.h"
#include "upload/UserActivityController.h"

#include "support/FakeApplicationServices.h"
#include "support/FakeClock.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using namespace hourloom;
using namespace hourloom::test;

namespace {

class Application : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const QString &key : {UserDefaults::launchedBeforeKey, UserDefaults::deviceIdKey, UserDefaults::loggedInKey})
            UserDefaults::remove(key);
    }

    std::unique_ptr<HourloomOSXApp> launch(FakeApplicationServices &fakes)
    {
        return QCoro::waitFor(HourloomOSXApp::make(fakes.services, [this] { ++terminationReplies; }));
    }

    void storeLogin(FakeApplicationServices &fakes)
    {
        fakes.keychain->items[{KeychainHelperProtocol::accessTokenService, KeychainHelperProtocol::account()}] = "access";
        fakes.keychain->items[{KeychainHelperProtocol::refreshTokenService, KeychainHelperProtocol::account()}] = "refresh";
    }

    int terminationReplies = 0;
};

TEST_F(Application, TheFirstLaunchRegistersForLoginAndMakesADeviceIdOnce)
{
    FakeApplicationServices first;
    first.launchAtLogin->succeeds = false; // a failed registration changes nothing
    const auto app = launch(first);
    EXPECT_EQ(first.launchAtLogin->registrations, 1);
    EXPECT_TRUE(UserDefaults::boolean(UserDefaults::launchedBeforeKey));
    const auto deviceId = UserDefaults::string(UserDefaults::deviceIdKey);
    ASSERT_TRUE(deviceId.has_value());
    EXPECT_FALSE(QUuid::fromString(*deviceId).isNull());
    // The first batch was made before the id existed.
    EXPECT_FALSE(app->userActivityController->sessionBatchController()->sessionBatch()->deviceId().has_value());

    FakeApplicationServices second;
    launch(second);
    EXPECT_EQ(second.launchAtLogin->registrations, 0);
    EXPECT_EQ(UserDefaults::string(UserDefaults::deviceIdKey), deviceId);

    // Crash reporting only ever starts for exactly "Production"; the tests' environment is not.
    EXPECT_TRUE(first.crashReporter->started.isEmpty());
    EXPECT_TRUE(HourloomOSXApp::startsCrashReporting("Production"));
    for (const char *other : {"production", "PRODUCTION", "Production ", "Development", ""})
        EXPECT_FALSE(HourloomOSXApp::startsCrashReporting(QString::fromLatin1(other))) << other;
}

TEST_F(Application, AStoredLoginResumesTrackingAndAnotherStaysIdle)
{
    FakeApplicationServices loggedOut;
    loggedOut.workspace->frontmost = RunningApplication{QStringLiteral("XTerm"), QStringLiteral("debian-xterm")};
    auto idleApp = launch(loggedOut);
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(idleApp->userActivityController->sessionBatchController()->sessionBatch()->appSessions().isEmpty());
    EXPECT_TRUE(loggedOut.timers.timers().empty());

    FakeApplicationServices loggedIn;
    storeLogin(loggedIn);
    loggedIn.workspace->frontmost = RunningApplication{QStringLiteral("XTerm"), QStringLiteral("debian-xterm")};
    auto app = launch(loggedIn);
    QCoreApplication::sendPostedEvents();
    const auto sessions = app->userActivityController->sessionBatchController()->sessionBatch()->appSessions();
    ASSERT_EQ(sessions.size(), 1);
    EXPECT_EQ(sessions.first()->appName(), "XTerm");
    const auto scheduler = std::dynamic_pointer_cast<UserActivityController>(app->userActivityController);
    ASSERT_NE(scheduler->uploadActivityTimer, nullptr);
}

TEST_F(Application, QuittingEndsTheSessionUploadsItOnceAndOnlyThenLetsTheProcessEnd)
{
    test::FakeClock clock;
    FakeApplicationServices fakes;
    storeLogin(fakes);
    fakes.workspace->frontmost = RunningApplication{QStringLiteral("XTerm"), QStringLiteral("debian-xterm")};
    auto app = launch(fakes);
    QCoreApplication::sendPostedEvents();
    clock.advance(42);

    app->appDelegate->requestTermination();
    app->appDelegate->requestTermination(); // a second request while quitting changes nothing
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(terminationReplies, 1);
    ASSERT_EQ(fakes.urlSession->requests.size(), 1);
    EXPECT_EQ(fakes.urlSession->requests.first().first, "/api/v1/user_activities");
    EXPECT_TRUE(fakes.urlSession->requests.first().second.contains(R"("app_name":"XTerm")"));
    EXPECT_TRUE(app->userActivityController->sessionBatchController()->sessionBatch()->appSessions().isEmpty());
    EXPECT_FALSE(app->userActivityController->sessionBatchController()->appSwitchTracker()->appSwitchObserver().has_value());

    // Logged out, with nothing recorded: nothing is sent, and the process still ends.
    FakeApplicationServices idle;
    terminationReplies = 0;
    auto idleApp = launch(idle);
    idleApp->appDelegate->requestTermination();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(terminationReplies, 1);
    EXPECT_TRUE(idle.urlSession->requests.isEmpty());
}

} // namespace
