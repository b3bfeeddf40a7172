#include "TrackingFixture.h"

#include "tracking/AppSessionController.h"

#include "support/FakeWebSessionController.h"

#include <QCoreApplication>

using namespace hourloom;
using namespace hourloom::test;

namespace {

Notification activation(std::any application)
{
    return {didActivateApplicationNotification,
            std::map<QString, std::any>{{applicationUserInfoKey, std::move(application)}}};
}

// Delivers what was posted: observers run on the main loop, after the post.
void deliverPosted()
{
    QCoreApplication::sendPostedEvents();
}

} // namespace

using AppSwitchTracker_ = TrackingFixture;

TEST_F(AppSwitchTracker_, TurnsActivationNotificationsIntoSessionsWhileTrackingAndIgnoresTheRest)
{
    // An observer without tracking (no login) ignores every activation.
    tracker->startObserving(controller, false);
    notificationCenter.post(activation(RunningApplication{QStringLiteral("A"), QStringLiteral("a")}));
    deliverPosted();
    EXPECT_TRUE(sessions().isEmpty());
    tracker->stopObserving();

    tracker->startObserving(controller, true);
    notificationCenter.post(activation(RunningApplication{QStringLiteral("XTerm"), QStringLiteral("debian-xterm")}));
    EXPECT_TRUE(sessions().isEmpty()); // not before the main loop delivers it
    deliverPosted();
    ASSERT_EQ(sessions().size(), 1);
    EXPECT_EQ(sessions().last()->appName(), "XTerm");

    // A session carried as it is enters the batch as that very object.
    clock.advance(30);
    const std::shared_ptr<AppSessionProtocol> carried = std::make_shared<AppSession>(QStringLiteral("Files"), QStringLiteral("files"));
    notificationCenter.post(activation(carried));
    // Nothing under the key, no user info, a value of another kind, another name: ignored.
    notificationCenter.post({didActivateApplicationNotification, std::map<QString, std::any>{}});
    notificationCenter.post({didActivateApplicationNotification, std::nullopt});
    notificationCenter.post(activation(QStringLiteral("XTerm")));
    notificationCenter.post({QStringLiteral("SomethingElse"), std::map<QString, std::any>{{applicationUserInfoKey,
                                                                                            RunningApplication{QStringLiteral("B"), QStringLiteral("b")}}}});
    deliverPosted();
    ASSERT_EQ(sessions().size(), 2);
    EXPECT_EQ(sessions().last(), carried);

    tracker->stopObserving();
    EXPECT_FALSE(tracker->appSwitchObserver().has_value());
    notificationCenter.post(activation(RunningApplication{QStringLiteral("B"), QStringLiteral("b")}));
    deliverPosted();
    EXPECT_EQ(sessions().size(), 2);
}

class AppSessionController_ : public ::testing::Test {
protected:
    std::shared_ptr<AppSessionController> controllerFor(const QString &name, const QString &bundleIdentifier)
    {
        return std::make_shared<AppSessionController>(std::make_shared<AppSession>(name, bundleIdentifier),
                                                      [this](std::shared_ptr<AppSessionProtocol> appSession) {
                                                          webControllers.push_back(std::make_shared<FakeWebSessionController>(std::move(appSession)));
                                                          return webControllers.back();
                                                      });
    }

    FakeClock clock;
    std::vector<std::shared_ptr<FakeWebSessionController>> webControllers;
};

TEST_F(AppSessionController_, OnlyBrowsersInTheTableGetAPollingWebSessionController)
{
    const auto chrome = controllerFor("Google Chrome", "com.google.Chrome");
    ASSERT_EQ(webControllers.size(), 1u);
    EXPECT_EQ(webControllers[0]->calls, QStringList{"startPolling"});
    EXPECT_EQ(webControllers[0]->appSession(), chrome->appSession());

    controllerFor("google chrome", "other.chrome"); // exact, case-sensitive names only
    controllerFor("Terminal", "org.gnome.Terminal");
    EXPECT_EQ(webControllers.size(), 1u);

    // A name in the user's language: the desktop-file id tells the browser, the name stays.
    controllerFor("Navigateur Web Chromium", "chromium");
    ASSERT_EQ(webControllers.size(), 2u);
    EXPECT_EQ(webControllers[1]->appSession()->appName(), "Navigateur Web Chromium");
}

TEST_F(AppSessionController_, EndingStopsPollingAndDropsTheOpenWebSessionAndResumingStartsAFreshPollThatContinuesIt)
{
    const auto controller = controllerFor("Safari", "com.apple.Safari");
    const auto browser = controller->appSession();
    auto page = std::make_shared<WebSession>(QStringLiteral("example.org"));
    browser->webSessions().append(page);

    clock.advance(30);
    controller->endSession(clock.now());
    EXPECT_EQ(webControllers[0]->calls, (QStringList{"startPolling", "stopPolling", "dropShortWebSession"}));
    EXPECT_EQ(page->endTime(), clock.now());
    EXPECT_EQ(browser->endTime(), clock.now());

    // Ending again moves the end; with no open web session nothing is dropped.
    clock.advance(5);
    controller->endSession(clock.now());
    EXPECT_EQ(browser->endTime(), clock.now());
    EXPECT_EQ(webControllers[0]->calls.count("dropShortWebSession"), 1);

    // Another application's controller takes the browser's session back, as a quick return does.
    const auto xterm = controllerFor("XTerm", "debian-xterm");
    xterm->resumeSession(browser);
    EXPECT_TRUE(browser->isActive());
    ASSERT_EQ(webControllers.size(), 2u);
    EXPECT_EQ(webControllers[1]->calls, (QStringList{"startPolling", "resumeLastWebSession"}));
    EXPECT_EQ(webControllers[1]->appSession(), browser);

    // Resuming with nothing leaves the controller as it was.
    xterm->endSession(clock.now());
    xterm->resumeSession(nullptr);
    EXPECT_EQ(xterm->appSession(), browser);
    EXPECT_FALSE(browser->isActive());
}
