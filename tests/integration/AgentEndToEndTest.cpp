// The real agent as a user meets it: on a private X desktop with a window manager and a tray,
// its tokens in gnome-keyring on a private session bus, talking to the local account service.
// The test clicks the tray icon, logs in through the panel, switches between two windows, sees
// the sessions arrive, logs out, logs in again and quits through the tray menu.
#include "AgentFixture.h"

#include <gtest/gtest.h>

using namespace hourloom::test;

namespace {

using AgentEndToEnd = AgentFixture;

TEST_F(AgentEndToEnd, LogInTrackUploadLogOutLogInAgainAndQuitAfterTheFinalUpload)
{
    EXPECT_FALSE(loggedIn());
    logInThroughThePanel();
    ASSERT_FALSE(HasFatalFailure());

    // Tracking: two real windows, each reaching the service with the uploads. The panel the login
    // left open is closed first: while the popup holds the pointer, activations may not reach the
    // window manager. The agent reads which window is active when it handles the change:
    // switching on before the service has seen the first would let a busy agent see only the second.
    ASSERT_TRUE(click(trayIcon().center()));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !panel().isValid(); }, loadedMachineBound));
    ASSERT_TRUE(desktop.activate(terminal));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return storedApps({"XTerm"}); }, loadedMachineBound)) << "no XTerm session arrived";
    ASSERT_TRUE(desktop.activate(logo));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return storedApps({"XTerm", "XLogo"}); }, loadedMachineBound)) << "no XLogo session arrived";

    // Log out from the panel's settings menu: the login form comes back, the access token is gone
    // from the keyring and the refresh token stays.
    logOutThroughThePanel();
    ASSERT_FALSE(HasFatalFailure());
    // The token is forgotten after "loggedIn" turns false, in the credential store's own time.
    EXPECT_TRUE(XDesktop::spinUntil([] { return KeyringSession::secretTool({"lookup", "service", "hourloomApiAccessToken", "account", "hourloom-Test"}).isEmpty(); },
                                    loadedMachineBound))
        << "the access token stayed in the keyring";
    EXPECT_NE(KeyringSession::secretTool({"lookup", "service", "hourloomApiRefreshToken", "account", "hourloom-Test"}), "");

    // In again, a switch, and quit from the tray menu: the final upload arrives before the end.
    logInThroughThePanel();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(desktop.activate(terminal));
    const int uploadsBeforeQuit = server.uploads();
    ASSERT_TRUE(click(trayIcon().center())); // closes the panel the login left open
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !panel().isValid(); }, loadedMachineBound));
    ASSERT_TRUE(openMenu(trayIcon().center(), QStringLiteral("3")));
    ASSERT_TRUE(desktop.xdotool({QStringLiteral("key"), QStringLiteral("Up"), QStringLiteral("Return")}));
    ASSERT_TRUE(agent.process().waitForFinished(loadedMachineBound)) << "the agent did not quit";
    EXPECT_EQ(agent.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(agent.process().exitCode(), 0);
    EXPECT_GT(server.uploads(), uploadsBeforeQuit);
}

} // namespace
