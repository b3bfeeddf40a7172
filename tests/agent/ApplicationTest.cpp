#include "InMemoryAgent.h"

#include "tracking/IdleTimeController.h"

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

TEST_F(Application, AWakeUpEndsTheSessionWhereTheAgentLastSawItWhateverNoticesItFirst)
{
    storeLogin();
    fakes.workspace->frontmost = RunningApplication{QStringLiteral("Editor"), QStringLiteral("org.example.Editor")};
    launch();
    const auto editor = batch().first();
    const auto poll = tracking().idleTimeController()->timer;
    const auto fastForward = [&] {
        clock.advance(10);
        std::static_pointer_cast<FakeTimer>(poll)->fire();
        const QDateTime lastSeen = clock.now();
        clock.advance(5);
        clock.stepWallClock(8 * 3600); // the lid closed for the night
        return lastSeen;
    };

    // A click right after the lid opens, before the next poll.
    const QDateTime editorSeen = fastForward();
    const auto browser = switchTo("Browser", 3);
    EXPECT_EQ(editor->endTime(), editorSeen);
    EXPECT_EQ(batch().last(), browser);
    clock.advance(10);
    std::static_pointer_cast<FakeTimer>(poll)->fire();
    EXPECT_TRUE(browser->isActive()) << "the browser's first seconds were lost";

    // The upload tick after a night: what it sends ends where it was last seen.
    const QDateTime browserSeen = fastForward();
    QCoro::waitFor(scheduler().uploadTimerFired());
    EXPECT_EQ(browser->endTime(), browserSeen);
    EXPECT_EQ(span(accepted().value(id(browser))), span(browser, browserSeen));

    // Quitting after a night.
    const auto morning = batch().last();
    const QDateTime morningSeen = fastForward();
    app->appDelegate->requestTermination();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(span(accepted().value(id(morning))), span(morning, morningSeen));
}

} // namespace
