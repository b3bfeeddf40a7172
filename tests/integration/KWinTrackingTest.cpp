// Tracking on a real headless KWin: the shared scenarios, and what only the script-fed KDE
// workspace does (callers that are not KWin, a KWin that restarts).
#include "DesktopTracking.h"

#include "platform/desktops/BackendAttempt.h"
#include "platform/desktops/kde/KWinWorkspace.h"
#include "platform/desktops/kde/KdeBackend.h"

#include "support/KWinDesktop.h"

#include <QDBusMessage>

using namespace hourloom;
using namespace hourloom::test;

namespace {

[[maybe_unused]] auto *const desktop = ::testing::AddGlobalTestEnvironment(new DesktopOnce<KWinDesktop>);
INSTANTIATE_TEST_SUITE_P(KWin, DesktopScenarios, ::testing::Values(DesktopOnce<KWinDesktop>::underTest("KWin")));

class KWinTracking : public DesktopTest<KWinDesktop> {
protected:
    std::shared_ptr<KWinWorkspace> workspace() const { return std::dynamic_pointer_cast<KWinWorkspace>(services.workspace); }
};

TEST_F(KWinTracking, AnotherClientOfTheBusCannotPassItselfOffAsKWin)
{
    ASSERT_NO_FATAL_FAILURE(track());
    ASSERT_NO_FATAL_FAILURE(startIn(window(0)));
    QDBusMessage forged = QDBusMessage::createMethodCall(driver().bus().baseService(), workspace()->objectPath(), KWinWorkspace::interfaceName,
                                                         QStringLiteral("windowActivated"));
    forged << QStringLiteral("forged") << QStringLiteral("forged") << QStringLiteral("org.hourloom.Forged") << QStringLiteral("0");
    QDBusConnection stranger = QDBusConnection::connectToBus(driver().busAddress(), QStringLiteral("stranger"));
    stranger.call(forged, QDBus::BlockWithGui); // this process answers it: keep the loop running
    QDBusConnection::disconnectFromBus(QStringLiteral("stranger"));
    // The call went out before the switch: it has arrived once the switch has.
    ASSERT_TRUE(switchTo(window(1)));
    EXPECT_EQ(sessions().size(), 2);
}

TEST_F(KWinTracking, ARestartedKWinGetsTheScriptAgainAndAGoneWorkspaceTakesItsScriptAlong)
{
    ASSERT_NO_FATAL_FAILURE(track());
    ASSERT_NO_FATAL_FAILURE(startIn(window(0)));
    const QString script = workspace()->scriptName();
    const auto isLoaded = [&] {
        QDBusMessage ask = QDBusMessage::createMethodCall(QStringLiteral("org.kde.KWin"), QStringLiteral("/Scripting"),
                                                          QStringLiteral("org.kde.kwin.Scripting"), QStringLiteral("isScriptLoaded"));
        ask << script;
        return driver().bus().call(ask).arguments().value(0).toBool();
    };
    ASSERT_TRUE(isLoaded());

    driver().stopKWin();
    // Without KWin, or without a bus, the backend does not start, and says why.
    EXPECT_EQ(startKdeBackend(center, driver().clientEnvironment()).whyNot, "no KWin on the session bus");
    QProcessEnvironment busless = driver().clientEnvironment();
    busless.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/bus"));
    EXPECT_EQ(startKdeBackend(center, busless).whyNot, "no session bus");

    ASSERT_TRUE(driver().startKWin()) << driver().error().toStdString();
    // A window opened on the restarted KWin sometimes never shows in its client list when the
    // machine is loaded (the client is mapped and focused): the reload is checked on its own.
    EXPECT_TRUE(XDesktop::spinUntil(isLoaded, 60000)) << "the script was not loaded into the restarted KWin";

    tracker->stopObserving();
    services = {};
    tracker.reset();
    controller.reset();
    idle.reset();
    EXPECT_FALSE(isLoaded());
}

} // namespace
