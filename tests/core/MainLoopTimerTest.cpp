#include "core/MainLoopTimer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

using namespace hourloom;

namespace {

// Runs the main loop until the condition holds or a generous deadline passes.
bool spinUntil(const std::function<bool()> &condition)
{
    QDeadlineTimer deadline(10000);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    return condition();
}

} // namespace

TEST(MainLoopTimer, RepeatsUntilInvalidatedSurvivingItsOwnerLettingGoInTheBlockAndAOneShotFiresOnce)
{
    int firings = 0;
    std::shared_ptr<TimerProtocol> timer = MainLoopTimer::provider()(0.001, true, [&](TimerProtocol &firing) {
        if (++firings == 3) {
            firing.invalidate();
            timer.reset(); // the owner drops it from inside its own firing
        }
    });
    ASSERT_TRUE(timer->isValid());
    int oneShotFirings = 0;
    const auto oneShot = MainLoopTimer::provider()(0, false, [&](TimerProtocol &) { ++oneShotFirings; });
    ASSERT_TRUE(spinUntil([&] { return firings >= 3 && oneShotFirings >= 1; }));
    // Let any stray firing through: none may come after the invalidation.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(firings, 3);
    EXPECT_EQ(timer, nullptr);
    EXPECT_EQ(oneShotFirings, 1);
    EXPECT_FALSE(oneShot->isValid());
}
