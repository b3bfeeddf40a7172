#include "TrackingFixture.h"

#include "core/Configuration.h"
#include "model/UploadedSessions.h"

using namespace hourloom;
using hourloom::test::TrackingFixture;

using SessionBatchController_ = TrackingFixture;

TEST_F(SessionBatchController_, TheFirstApplicationIsAppendedWithAControllerAndTheIdlePollShortSessionsAreDroppedAndCountedAndEndedOnesBounded)
{
    EXPECT_EQ(controller->appSessionController(), nullptr);
    const auto xterm = switchTo("XTerm", "debian-xterm", 0);
    EXPECT_EQ(sessions(), AppSessionList{xterm});
    ASSERT_NE(controller->appSessionController(), nullptr);
    EXPECT_EQ(controller->appSessionController()->appSession(), xterm);
    ASSERT_EQ(timers.timers().size(), 1u);
    EXPECT_TRUE(timers.last()->repeats);
    EXPECT_EQ(timers.last()->interval, Configuration::idlePollingInterval());

    // A running poll is never doubled.
    controller->startIdleTimer();
    const auto a = switchTo("Files", "org.gnome.Nautilus", 10);
    EXPECT_EQ(timers.timers().size(), 1u);

    // Sessions shorter than the minimum are dropped and counted.
    const auto b = switchTo("B", "b", 4.999);
    EXPECT_EQ(sessions(), (AppSessionList{xterm, b}));
    EXPECT_EQ(controller->sessionBatch()->appSwitchingCount(), 1);
    EXPECT_DOUBLE_EQ(controller->sessionBatch()->appSwitchingTime(), 4.999);
    EXPECT_FALSE(a->isActive());

    // Exactly the minimum is kept.
    const auto c = switchTo("C", "c", 5);
    EXPECT_EQ(sessions(), (AppSessionList{xterm, b, c}));
    EXPECT_EQ(b->duration(), 5.0);
    EXPECT_EQ(controller->sessionBatch()->appSwitchingCount(), 1);

    // The ended sessions waiting are bounded, oldest first; the open session never counts.
    AppSessionList kept{c};
    for (int i = 0; i < 6; ++i)
        kept << switchTo(QStringLiteral("App %1").arg(i), QStringLiteral("app%1").arg(i), 10);
    EXPECT_EQ(controller->dropOldestEndedSessions(8), 0);
    EXPECT_EQ(controller->dropOldestEndedSessions(6), 2);
    EXPECT_EQ(sessions(), kept);
    EXPECT_TRUE(sessions().last()->isActive());
}

TEST_F(SessionBatchController_, TheSameApplicationAgainReopensItsSessionAfterAQuickDetourOrStartsAfreshWhenShort)
{
    const auto b = switchTo("B", "b", 0);
    const auto a = switchTo("A", "a", 30);
    switchTo("A", "a", 30);
    EXPECT_EQ(sessions(), (AppSessionList{b, a}));
    EXPECT_TRUE(a->isActive());

    // A quick detour, and an application sharing the bundle identifier whatever its name: the
    // session of A goes on, the detour is dropped and counted.
    switchTo("D", "d", 30);
    switchTo("Other name", "a", 2);
    EXPECT_EQ(sessions(), (AppSessionList{b, a}));
    EXPECT_TRUE(a->isActive());
    EXPECT_EQ(a->startTime(), clock.now().addSecs(-62));
    EXPECT_EQ(controller->appSessionController()->appSession(), a);
    EXPECT_EQ(controller->sessionBatch()->appSwitchingCount(), 1);
    EXPECT_DOUBLE_EQ(controller->sessionBatch()->appSwitchingTime(), 2);

    // Too short: a fresh session replaces it, since the one before belongs to another application.
    const auto c = switchTo("C", "c", 1);
    const auto c2 = switchTo("C", "c", 1);
    EXPECT_EQ(sessions(), (AppSessionList{b, a, c2}));
    EXPECT_NE(c2, c);
    EXPECT_EQ(controller->sessionBatch()->appSwitchingCount(), 2);
}

TEST_F(SessionBatchController_, AnAcceptedUploadTakesOutExactlyWhatWentOutEnded)
{
    const auto a = switchTo("A", "a", 0);
    const auto browser = switchTo("Browser", "browser", 60);
    auto endedPage = std::make_shared<WebSession>(QStringLiteral("a.example"));
    clock.advance(10);
    endedPage->end(clock.now());
    auto openPage = std::make_shared<WebSession>(QStringLiteral("b.example"));
    browser->webSessions() = {endedPage, openPage};

    const UploadedSessions sent = UploadedSessions::endedIn(controller->sessionBatch()->appSessions());
    // While the upload is in flight the browser session and its page end, and C starts.
    clock.advance(10);
    openPage->end(clock.now());
    const auto c = switchTo("C", "c", 5);

    controller->removeUploadedSessions(sent);
    EXPECT_EQ(sessions(), (AppSessionList{browser, c}));
    EXPECT_EQ(browser->webSessions(), WebSessionList{openPage});
    EXPECT_FALSE(a->isActive());
}

TEST_F(SessionBatchController_, AnAcceptedUploadLeavesWhatWasReopenedReEndedOrIsNewAtAFreedAddress)
{
    const auto a = switchTo("A", "a", 0);
    const auto browser = switchTo("Browser", "browser", 60);
    auto reopenedPage = std::make_shared<WebSession>(QStringLiteral("a.example"));
    auto freedPage = std::make_shared<WebSession>(QStringLiteral("b.example"));
    clock.advance(10);
    reopenedPage->end(clock.now());
    freedPage->end(clock.now());
    browser->webSessions() = {reopenedPage, freedPage};
    const auto b = switchTo("B", "b", 30);

    const UploadedSessions sent = UploadedSessions::endedIn(controller->sessionBatch()->appSessions());
    // While the upload is in flight: A is reopened and ends again later; the browser session comes
    // back with its first page reopened; the second page leaves the batch and a new page takes
    // its place (and, as often as not, its address).
    a->setEndTime(std::nullopt);
    clock.advance(5);
    a->end(clock.now());
    browser->setEndTime(std::nullopt);
    reopenedPage->setEndTime(std::nullopt);
    browser->webSessions().removeAll(freedPage);
    freedPage.reset();
    const auto newPage = std::make_shared<WebSession>(QStringLiteral("c.example"));
    browser->webSessions().append(newPage);

    controller->removeUploadedSessions(sent);
    EXPECT_EQ(sessions(), (AppSessionList{a, browser, b}));
    EXPECT_EQ(browser->webSessions(), (WebSessionList{reopenedPage, newPage}));
}

TEST_F(SessionBatchController_, OnlyTheCurrentSessionItselfIsEverDroppedAsTooShort)
{
    // A short session that an upload took out of the batch is not dropped from the emptied batch.
    switchTo("Z", "z", 0);
    clock.advance(1);
    controller->appSessionController()->endSession(clock.now());
    controller->clearUploadedSessions();
    const auto y = switchTo("Y", "y", 1);
    EXPECT_EQ(sessions(), AppSessionList{y});
    EXPECT_EQ(controller->sessionBatch()->appSwitchingCount(), 0);
    controller->sessionBatch()->setAppSessions({});

    // Idleness ends B; an upload then takes it; C arrives in the batch without being current.
    switchTo("A", "a", 0);
    switchTo("B", "b", 60);
    clock.advance(2);
    controller->appSessionController()->endSession(clock.now());
    const UploadedSessions sent = UploadedSessions::endedIn(controller->sessionBatch()->appSessions());
    const auto c = std::make_shared<AppSession>(QStringLiteral("C"), QStringLiteral("c"));
    controller->sessionBatch()->appSessions().append(c); // a session that is not the controller's
    controller->removeUploadedSessions(sent);
    ASSERT_EQ(sessions(), AppSessionList{c});

    // B's controller still thinks B is current and short: C must not be dropped in its place.
    switchTo("D", "d", 1);
    EXPECT_TRUE(sessions().contains(c));
    EXPECT_EQ(controller->sessionBatch()->appSwitchingCount(), 0);
}
