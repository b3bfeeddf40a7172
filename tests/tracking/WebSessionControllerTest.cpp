#include "model/AppSession.h"
#include "tracking/WebSessionController.h"

#include "support/FakeClock.h"
#include "support/FakeErrorLogger.h"
#include "support/FakeScriptLibrary.h"
#include "support/FakeTimer.h"

#include <gtest/gtest.h>

using namespace hourloom;
using namespace hourloom::test;

namespace {

class WebSessionController_ : public ::testing::Test {
protected:
    WebSessionController_() { controller = makeController(); }

    std::shared_ptr<WebSessionController> makeController()
    {
        auto made = std::make_shared<WebSessionController>(appSession, WebScriptingPlatform{browser.libraryType(), &crashReporter});
        made->timerProvider = timers.provider();
        made->scriptCache = cache;
        made->errorLogger = &pollLogger;
        return made;
    }

    // Starts polling and lets the main loop schedule the timer.
    void start()
    {
        controller->startPolling();
        QCoreApplication::sendPostedEvents();
    }

    // `seconds` after the previous step the browser shows `url` (none: no window), and the poll
    // timer fires and its result is applied.
    void pollShowing(std::optional<QString> url, double seconds)
    {
        clock.advance(seconds);
        browser.show(std::move(url));
        timers.last()->fire();
        finishScripts();
    }

    QStringList domains() const
    {
        QStringList result;
        for (const auto &session : appSession->webSessions())
            result << session->webDomain()->domain() + (session->isActive() ? "*" : "");
        return result;
    }

    FakeClock clock;
    FakeTimerProvider timers;
    FakeBrowser browser;
    FakeErrorLogger crashReporter;
    FakeErrorLogger pollLogger;
    std::shared_ptr<WebScriptCache> cache = std::make_shared<WebScriptCache>();
    std::shared_ptr<AppSession> appSession = std::make_shared<AppSession>(QStringLiteral("Chromium Web Browser"), QStringLiteral("chromium"));
    std::shared_ptr<WebSessionController> controller;
};

} // namespace

TEST_F(WebSessionController_, NeverPollsWithoutAScriptStartsTheRepeatingPollOnTheMainLoopKeepsOneSessionWhileTheDomainStaysEvenWithoutAWindow)
{
    browser.refuseScripts = true;
    start();
    EXPECT_TRUE(timers.timers().empty());
    EXPECT_TRUE(cache->cachedScripts.isEmpty());
    EXPECT_TRUE(crashReporter.captures.isEmpty());

    // A later controller of the browser tries again; stopped before any poll it opens nothing.
    browser.refuseScripts = false;
    controller = makeController();
    start();
    ASSERT_EQ(timers.timers().size(), 1u);
    controller->stopPolling();
    EXPECT_FALSE(timers.last()->isValid());
    EXPECT_TRUE(appSession->webSessions().isEmpty());

    controller = makeController();
    controller->startPolling();
    EXPECT_EQ(timers.timers().size(), 1u); // not before the main loop runs
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(timers.timers().size(), 2u);
    EXPECT_EQ(timers.last()->interval, 2); // SECONDS_WEB_POLLING_INTERVAL of the test configuration
    EXPECT_TRUE(timers.last()->repeats);

    const QDateTime firstResult = clock.now().addSecs(2);
    pollShowing("https://www.example.com/a", 2);
    pollShowing("https://example.com/b?q=1", 2);
    pollShowing("HTTPS://EXAMPLE.COM/c", 2);
    EXPECT_EQ(domains(), QStringList{"example.com*"});
    EXPECT_EQ(appSession->webSessions().first()->startTime(), firstResult);
    EXPECT_EQ(controller->domain, "example.com");
    EXPECT_EQ(browser.runs, 3);

    // It goes on without a window, and a local file ends the session.
    pollShowing(std::nullopt, 30);
    EXPECT_EQ(domains(), QStringList{"example.com*"});
    pollShowing("file:///home/user/notes.html", 30);
    EXPECT_EQ(domains(), QStringList{"example.com"});
    EXPECT_EQ(appSession->webSessions().first()->duration(), 64);
    EXPECT_EQ(controller->domain, std::nullopt);
    pollShowing("about:blank", 10);
    EXPECT_EQ(domains(), QStringList{"example.com"});
    pollShowing("https://example.com/again", 10);
    EXPECT_EQ(domains(), (QStringList{"example.com", "example.com*"}));
}

TEST_F(WebSessionController_, DropsShortSessionsAndKeepsOnesOfExactlyTheMinimum)
{
    start();
    pollShowing("https://a.example/", 2);
    pollShowing("https://b.example/", 60);
    pollShowing("https://c.example/", 3);
    EXPECT_EQ(domains(), (QStringList{"a.example", "c.example*"}));
    EXPECT_EQ(appSession->webSessions().first()->duration(), 60);

    pollShowing("https://d.example/", 5);
    EXPECT_EQ(domains(), (QStringList{"a.example", "c.example", "d.example*"}));
    EXPECT_EQ(appSession->webSessions()[1]->duration(), 5);

    // Stopping ends the active session now, and drops it when short.
    clock.advance(3);
    controller->stopPolling();
    EXPECT_EQ(domains(), (QStringList{"a.example", "c.example"}));
    EXPECT_FALSE(timers.last()->isValid());
    EXPECT_EQ(controller->domain, "d.example");
}

TEST_F(WebSessionController_, FailedRunsAreReportedAndChangeNothingWhileCompileErrorsGoToTheCrashReporter)
{
    browser.failCompile(QVariantMap{{"message", "cannot compile"}});
    start();
    finishScripts();
    ASSERT_EQ(crashReporter.captures.size(), 1);
    EXPECT_EQ(crashReporter.captures[0].typeName, "ScriptCompileError");

    pollShowing("https://example.com/", 2);
    browser.failRuns(QVariantMap{{"message", "no answer"}});
    pollShowing("https://other.example/", 20);
    EXPECT_EQ(domains(), QStringList{"example.com*"});
    ASSERT_EQ(pollLogger.captures.size(), 1);
    EXPECT_EQ(pollLogger.captures[0].typeName, "ScriptExecutionError");
    EXPECT_EQ(crashReporter.captures.size(), 1);
}

TEST_F(WebSessionController_, ResumesTheLastSessionSoThatTheFirstPollContinuesIt)
{
    // With no session to resume there is no domain, and the first poll opens one.
    start();
    controller->resumeLastWebSession();
    EXPECT_EQ(controller->domain, std::nullopt);
    pollShowing("https://a.example/", 2);
    EXPECT_EQ(domains(), QStringList{"a.example*"});

    pollShowing("https://b.example/", 10);
    pollShowing("https://a.example/", 10);
    clock.advance(10);
    controller->stopPolling();
    const auto reopened = appSession->webSessions().last();
    const QDateTime startedAt = reopened->startTime();

    controller = makeController();
    start();
    controller->resumeLastWebSession();
    EXPECT_EQ(controller->domain, "a.example");
    EXPECT_TRUE(reopened->isActive());
    pollShowing("https://a.example/more", 2);
    EXPECT_EQ(domains(), (QStringList{"a.example", "b.example", "a.example*"}));
    EXPECT_EQ(appSession->webSessions().last(), reopened);
    EXPECT_EQ(reopened->startTime(), startedAt);
}

TEST_F(WebSessionController_, AReleasedControllerStopsItselfAndIgnoresItsTimerAndPendingResults)
{
    // Keeps the poll's block, so that it can run after the controller is gone.
    TimerBlock pollBlock;
    controller->timerProvider = [this, &pollBlock](double interval, bool repeats, TimerBlock block) {
        pollBlock = block;
        return timers.provider()(interval, repeats, std::move(block));
    };
    start();
    pollShowing("https://example.com/", 2);
    const auto timer = timers.last();

    // A run in flight when the controller goes: its result finds no one.
    clock.advance(10);
    browser.show("https://other.example/");
    timer->fire();
    controller.reset();
    finishScripts();
    EXPECT_EQ(domains(), QStringList{"example.com"});
    EXPECT_EQ(appSession->webSessions().first()->duration(), 10);
    EXPECT_FALSE(timer->isValid());

    // Nor does a firing that comes after it.
    const int runs = browser.runs;
    pollBlock(*timer);
    finishScripts();
    EXPECT_EQ(browser.runs, runs);
    EXPECT_EQ(domains(), QStringList{"example.com"});
}

TEST_F(WebSessionController_, ARunFinishingAfterItsApplicationLostTheFrontChangesNothing)
{
    start();
    pollShowing("https://a.example/", 2);
    // The poll runs while the application goes to the back: its session ends, then the answer comes.
    clock.advance(10);
    browser.show("https://b.example/");
    timers.last()->fire();
    controller->stopPolling();
    appSession->end(clock.now());
    finishScripts();
    EXPECT_EQ(domains(), QStringList{"a.example"});
    EXPECT_EQ(appSession->webSessions().first()->duration(), 10);
    EXPECT_EQ(controller->domain, "a.example");

    // Nor does an answer for an ended session that was never stopped apply.
    auto other = std::make_shared<AppSession>(QStringLiteral("Chromium"), QStringLiteral("chromium"));
    std::swap(appSession, other);
    controller = makeController();
    start();
    timers.last()->fire();
    appSession->end(clock.now());
    finishScripts();
    EXPECT_TRUE(appSession->webSessions().isEmpty());
}
