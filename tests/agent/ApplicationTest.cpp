#include "InMemoryAgent.h"

using namespace hourloom;
using namespace hourloom::test;

namespace {

using Application = InMemoryAgent;

TEST_F(Application, TheFirstLaunchRegistersForLoginAndMakesADeviceIdOnce)
{
    fakes.launchAtLogin->succeeds = false; // a failed registration changes nothing
    launch();
    EXPECT_EQ(fakes.launchAtLogin->registrations, 1);
    EXPECT_TRUE(UserDefaults::boolean(UserDefaults::launchedBeforeKey));
    const auto deviceId = UserDefaults::string(UserDefaults::deviceIdKey);
    ASSERT_TRUE(deviceId.has_value());
    EXPECT_FALSE(QUuid::fromString(*deviceId).isNull());
    // The first batch was made before the id existed.
    EXPECT_FALSE(tracking().sessionBatch()->deviceId().has_value());

    launch();
    EXPECT_EQ(fakes.launchAtLogin->registrations, 1);
    EXPECT_EQ(UserDefaults::string(UserDefaults::deviceIdKey), deviceId);

    // Crash reporting only ever starts for exactly "Production"; the tests' environment is not.
    EXPECT_TRUE(fakes.crashReporter->started.isEmpty());
    EXPECT_TRUE(HourloomOSXApp::startsCrashReporting("Production"));
    for (const char *other : {"production", "PRODUCTION", "Production ", "Development", ""})
        EXPECT_FALSE(HourloomOSXApp::startsCrashReporting(QString::fromLatin1(other))) << other;
}

TEST_F(Application, AStoredLoginResumesTrackingAndAnotherStaysIdle)
{
    fakes.workspace->frontmost = RunningApplication{QStringLiteral("XTerm"), QStringLiteral("debian-xterm")};
    launch();
    EXPECT_TRUE(batch().isEmpty());
    EXPECT_TRUE(fakes.timers.timers().empty());

    storeLogin();
    launch();
    ASSERT_EQ(batch().size(), 1);
    EXPECT_EQ(batch().first()->appName(), "XTerm");
    EXPECT_NE(scheduler().uploadActivityTimer, nullptr);
}

TEST_F(Application, QuittingEndsTheSessionUploadsItOnceAndOnlyThenLetsTheProcessEnd)
{
    storeLogin();
    fakes.workspace->frontmost = RunningApplication{QStringLiteral("XTerm"), QStringLiteral("debian-xterm")};
    launch();
    clock.advance(42);

    app->appDelegate->requestTermination();
    app->appDelegate->requestTermination(); // a second request while quitting changes nothing
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(terminationReplies, 1);
    ASSERT_EQ(service->exchanges.size(), 1);
    EXPECT_EQ(service->exchanges.first().path(), FakeURLSession::activityPath);
    EXPECT_EQ(service->exchanges.first().header("Authorization"), "Bearer stored-access");
    EXPECT_TRUE(service->exchanges.first().body.contains(R"("app_name":"XTerm")"));
    EXPECT_TRUE(batch().isEmpty());
    EXPECT_FALSE(tracking().appSwitchTracker()->appSwitchObserver().has_value());

    // Logged out, with nothing recorded: nothing is sent, and the process still ends.
    fakes.keychain->items.clear();
    launch();
    app->appDelegate->requestTermination();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(terminationReplies, 2);
    EXPECT_EQ(service->exchanges.size(), 1);
}

} // namespace
