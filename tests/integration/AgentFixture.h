#pragma once

#include "support/AgentBundle.h"
#include "support/DevServerProcess.h"
#include "support/KeyringSession.h"
#include "support/XDesktop.h"

#include <QDateTime>
#include <QJsonObject>
#include <QRect>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace hourloom::test {

// Every wait is for a state the agent or the service reaches; the bound only keeps a broken run
// from hanging, and leaves room for a loaded 2-core machine running other suites beside this one.
constexpr int loadedMachineBound = 90000;

// The real agent as a user meets it: on a private X desktop with a window manager, a tray and
// two windows to switch between, its tokens in gnome-keyring on a private session bus, its
// settings and state in a private home, talking to the local account service.
class AgentFixture : public ::testing::Test {
protected:
    // `configuration` replaces values of the fixture's own configuration document.
    explicit AgentFixture(const QJsonObject &configuration = {});

    void SetUp() override;
    void TearDown() override;

    // Starts the agent on the given display (by default the fixture's) and waits for its icon,
    // or, without a tray there, for it to run.
    void startAgent(const QString &display = {});
    // Starts the desktop entry as the applications menu does; true once the panel has the focus.
    bool startAgainFromTheApplications();
    QProcessEnvironment environment(const QString &display) const;

    // The agent's windows: its tray icon, shown only once a tray embeds it, and the wide panel.
    std::pair<QString, QRect> agentWindow(bool panel);
    QRect trayIcon() { return agentWindow(false).second; }
    QRect panel() { return agentWindow(true).second; }
    std::pair<QString, QRect> panelWindow() { return agentWindow(true); }
    bool click(const QPoint &at, const QString &button = QStringLiteral("1"));
    // Clicks and waits until a new window of the agent (its menu) shows.
    bool openMenu(const QPoint &at, const QString &button);
    // Opens the panel with a click on the icon (without a tray, from the applications) and waits
    // until it is the active window, so that typing goes into it.
    bool openPanel();
    bool panelIsActive();
    // Closes the panel a login left open with Escape, as a keyboard user does, and waits until it
    // has gone.
    void closePanel();
    bool loggedIn();
    // Types the login into the panel as it opens: Email, Tab, Password, Return.
    void logInThroughThePanel(const QString &email = DevServerProcess::email);
    // Chooses the logged-in panel's settings menu entry at that place (1: Log Out, 2: Quit).
    void chooseInTheSettingsMenu(int place);
    // Logs out from the panel's settings menu and waits until the agent says so.
    void logOutThroughThePanel();
    // Ends the agent as the desktop does (SIGTERM) and waits until it has.
    void quitAgent();
    // Waits until the agent has ended, as the `cause` should have made it, with status 0.
    void expectCleanExit(const char *cause);

    // Logged in with the panel closed, the user works in the terminal, then in the logo, the
    // service down from `begin` on if `duringAnOutage`. Times travel in whole seconds: nothing
    // that began before `begin`'s second is part of the work.
    void workInTwoApplications(QDateTime &begin, bool duringAnOutage);
    // The agent's token of this service ("hourloomApiAccessToken" or "...RefreshToken") in the keyring.
    static QByteArray storedToken(const char *service);

    // Whether the service stored app sessions of all these applications for the test user.
    bool storedApps(const QStringList &names);

    // Makes the activity endpoint answer 503 until serviceBack().
    void serviceDown();
    void serviceBack();

    QTemporaryDir home;
    DevServerProcess server;
    XDesktop desktop;
    QString terminal;
    QString logo;
    AgentBundle agent;
    // Given to the agent beside the private folders and the display.
    QHash<QString, QString> extraEnvironment;
    // The command the agent is started through, if any (see AgentBundle::start).
    QStringList launcher;
    // False for a desktop without a tray, as GNOME without an AppIndicator extension.
    bool withTray = true;
};

} // namespace hourloom::test
