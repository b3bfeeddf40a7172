#pragma once

#include "support/AgentBundle.h"
#include "support/DevServerProcess.h"
#include "support/KeyringSession.h"
#include "support/XDesktop.h"

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
    void SetUp() override;
    void TearDown() override;

    // Starts the agent on the given display (by default the fixture's) and waits for its icon,
    // or, without a tray there, for it to run.
    void startAgent(const QString &display = {});
    QProcessEnvironment environment(const QString &display) const;

    QRect trayIcon();
    // The panel: the agent's visible window that is larger than an icon.
    QRect panel();
    bool click(const QPoint &at, const QString &button = QStringLiteral("1"));
    // Clicks and waits until a new window of the agent (its menu) shows.
    bool openMenu(const QPoint &at, const QString &button);
    bool openPanel();
    bool loggedIn();
    void logInThroughThePanel(const QString &email = DevServerProcess::email);

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
    AgentBundle agent{AgentBundle::configuration({{"ROOT_URL", server.rootURL().toString()},
                                                  {"SECONDS_BETWEEN_API_SENDS", "2"},
                                                  {"SECONDS_MIN_APP_SESSION", "0"},
                                                  {"MIN_IDLE_TIME", "600"}})};
};

} // namespace hourloom::test
