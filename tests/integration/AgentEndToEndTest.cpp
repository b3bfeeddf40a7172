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
    ASSERT_NO_FATAL_FAILURE(logInThroughThePanel());

    // Tracking: two real windows, each reaching the service with the uploads. The agent reads
    // which window is active when it handles the change: switching on before the service has
    // seen the first would let a busy agent see only the second.
    ASSERT_NO_FATAL_FAILURE(closePanel());
    ASSERT_TRUE(desktop.activate(terminal));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return storedApps({"XTerm"}); }, loadedMachineBound)) << "no XTerm session arrived";
    ASSERT_TRUE(desktop.activate(logo));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return storedApps({"XTerm", "XLogo"}); }, loadedMachineBound)) << "no XLogo session arrived";

    // Log out from the panel's settings menu: the login form comes back, the access token is gone
    // from the keyring (in the credential store's own time, after "loggedIn" turns false) and the
    // refresh token stays.
    ASSERT_NO_FATAL_FAILURE(logOutThroughThePanel());
    EXPECT_TRUE(XDesktop::spinUntil([] { return storedToken("hourloomApiAccessToken").isEmpty(); }, loadedMachineBound))
        << "the access token stayed in the keyring";
    EXPECT_NE(storedToken("hourloomApiRefreshToken"), "");

    // In again, a switch, and quit from the tray menu: the final upload arrives before the end.
    ASSERT_NO_FATAL_FAILURE(logInThroughThePanel());
    ASSERT_NO_FATAL_FAILURE(closePanel());
    ASSERT_TRUE(desktop.activate(terminal));
    const int uploadsBeforeQuit = server.uploads();
    ASSERT_TRUE(openMenu(trayIcon().center(), QStringLiteral("3")));
    ASSERT_TRUE(desktop.xdotool({QStringLiteral("key"), QStringLiteral("Up"), QStringLiteral("Return")}));
    ASSERT_NO_FATAL_FAILURE(expectCleanExit("Quit in the tray menu"));
    EXPECT_GT(server.uploads(), uploadsBeforeQuit);
}

} // namespace
