#include "model/AppSession.h"
#include "model/SessionBatch.h"
#include "model/WebSession.h"

#include "support/FakeClock.h"
#include "support/ScopedTimeZone.h"

#include <gtest/gtest.h>

using namespace hourloom;

TEST(Records, AnAppSessionWithoutNamesGetsTheUnknownDefaultsADurationOnceItEndsAndItsFirstOpenWebSessionIsTheActiveOne)
{
    test::FakeClock clock;
    const AppSession unnamed(std::nullopt, std::nullopt);
    EXPECT_EQ(unnamed.desktopApp(), (DesktopApp{"Unknown App", "unknown.bundle.id"}));
    EXPECT_EQ(unnamed.startTime(), clock.now());
    EXPECT_TRUE(unnamed.isActive());

    const AppSession named(QStringLiteral("XTerm"), std::nullopt);
    EXPECT_EQ(named.desktopApp(), (DesktopApp{"XTerm", "unknown.bundle.id"}));
    EXPECT_NE(named.id(), unnamed.id());

    // A duration exists only once a span has ended.
    WebSession session(QStringLiteral("example.org"));
    EXPECT_EQ(session.duration(), std::nullopt);

    session.end(session.startTime());
    EXPECT_EQ(session.duration(), 0.0);
    EXPECT_FALSE(session.isActive());

    // A second end replaces the first, even one before the start.
    session.end(clock.now().addMSecs(-1500));
    EXPECT_EQ(session.duration(), -1.5);

    session.setEndTime(std::nullopt);
    EXPECT_TRUE(session.isActive());

    // The active web session is the first open one in the list.
    AppSession browser(QStringLiteral("Chromium"), QStringLiteral("chromium"));
    EXPECT_EQ(browser.activeWebSession(), nullptr);

    auto ended = std::make_shared<WebSession>(QStringLiteral("a.example"));
    ended->end(clock.now());
    auto firstOpen = std::make_shared<WebSession>(QStringLiteral("b.example"));
    auto secondOpen = std::make_shared<WebSession>(QStringLiteral("c.example"));
    browser.webSessions() = {ended, firstOpen, secondOpen};
    EXPECT_EQ(browser.activeWebSession(), firstOpen);
}

TEST(Records, ABatchTakesTheMachineFactsOfItsConstruction)
{
    {
        test::ScopedTimeZone zone("Asia/Kolkata");
        const SessionBatch batch;
        EXPECT_EQ(batch.timezoneOffset(), 19800);
        EXPECT_FALSE(batch.deviceId().has_value());
        EXPECT_EQ(batch.device(), "Unknown Device");
    }
    {
        test::ScopedTimeZone zone("Etc/GMT+8"); // POSIX sign: UTC-08:00
        // The device is read when each batch is made, not when the maker is.
        std::optional<QString> id;
        const SessionBatchType makeBatch = SessionBatch::type([&] { return SessionBatch::Device{id, QStringLiteral("Ada's laptop")}; });
        id = QStringLiteral("3f2c1e4a-0000-4000-8000-000000000001");
        const auto batch = makeBatch();
        EXPECT_EQ(batch->timezoneOffset(), -28800);
        EXPECT_EQ(batch->deviceId(), "3f2c1e4a-0000-4000-8000-000000000001");
        EXPECT_EQ(batch->device(), "Ada's laptop");
    }
}
