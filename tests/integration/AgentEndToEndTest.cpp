// The real agent as a user meets it: on a private X desktop with a window manager and a tray,
// its tokens in gnome-keyring on a private session bus, talking to the local account service.
// The test clicks the tray icon, logs in through the panel, switches between two windows, sees
// the sessions arrive, logs out, logs in again and quits through the tray menu.
#include "support/AgentBundle.h"
#include "support/DevServerProcess.h"
#include "support/KeyringSession.h"
#include "support/XDesktop.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <httplib.h>

using namespace hourloom::test;

namespace {

[[maybe_unused]] auto *const keyring = ::testing::AddGlobalTestEnvironment(new KeyringSession);

// Every wait is for a state the agent or the service reaches; the bound only keeps a broken run
// from hanging, and leaves room for a loaded 2-core machine running other suites beside this one.
constexpr int loadedMachineBound = 90000;

class AgentEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(KeyringSession::isReady());
        ASSERT_TRUE(desktop.error().isEmpty()) << desktop.error().toStdString();
        ASSERT_TRUE(desktop.startTray());
        terminal = desktop.openWindow(QStringLiteral("xterm"), {}, QStringLiteral("XTerm"));
        logo = desktop.openWindow(QStringLiteral("xlogo"), {QStringLiteral("-xrm"), QStringLiteral("*input: true")}, QStringLiteral("XLogo"));
        ASSERT_FALSE(terminal.isEmpty());
        ASSERT_FALSE(logo.isEmpty());

        QDir(home.path()).mkpath(QStringLiteral("config"));
        QDir(home.path()).mkpath(QStringLiteral("runtime"));
        QFile::setPermissions(home.filePath(QStringLiteral("runtime")), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), desktop.display());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_STATE_HOME"), home.filePath(QStringLiteral("state")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("runtime")));
        ASSERT_TRUE(agent.start(environment));
        // The icon is in the tray once the tray has grown around it.
        ASSERT_TRUE(XDesktop::spinUntil([&] { return trayIcon().width() >= 16; }, loadedMachineBound)) << agent.output().toStdString();
    }

    void TearDown() override
    {
        if (HasFailure())
            std::cerr << "agent output:\n" << agent.output().toStdString() << std::endl;
    }

    QRect trayIcon()
    {
        const auto trays = desktop.windowsOfClass(QStringLiteral("^trayer$"));
        return trays.isEmpty() ? QRect() : trays.first().second;
    }

    // The panel: the agent's visible window that is larger than an icon.
    QRect panel()
    {
        for (const auto &[id, geometry] : desktop.windowsOfClass(QStringLiteral("^Hourloom$"))) {
            if (geometry.width() > 100)
                return geometry;
        }
        return {};
    }

    bool click(const QPoint &at, const QString &button = QStringLiteral("1"))
    {
        return desktop.xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"), button});
    }

    // A click on the icon opens the panel, or closes it when it is open (a popup stays open while
    // xdotool switches windows without clicking anywhere).
    // Clicks and waits until a new window of the agent (its menu) shows.
    bool openMenu(const QPoint &at, const QString &button)
    {
        const qsizetype shown = desktop.windowsOfClass(QStringLiteral("^Hourloom$")).size();
        return click(at, button)
            && XDesktop::spinUntil([&] { return desktop.windowsOfClass(QStringLiteral("^Hourloom$")).size() > shown; }, loadedMachineBound);
    }

    bool openPanel()
    {
        if (panel().isValid())
            return true;
        return click(trayIcon().center()) && XDesktop::spinUntil([&] { return panel().isValid(); }, loadedMachineBound);
    }

    bool loggedIn()
    {
        QSettings settings(home.filePath(QStringLiteral("config/Hourloom/Hourloom.conf")), QSettings::IniFormat);
        return settings.value(QStringLiteral("loggedIn")).toBool();
    }

    void logInThroughThePanel()
    {
        ASSERT_TRUE(openPanel());
        const QRect form = panel();
        ASSERT_TRUE(click(QPoint(form.center().x(), form.top() + 130)));
        ASSERT_TRUE(desktop.xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("2"), DevServerProcess::email}));
        ASSERT_TRUE(click(QPoint(form.center().x(), form.top() + 158)));
        ASSERT_TRUE(desktop.xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("2"), DevServerProcess::password}));
        ASSERT_TRUE(desktop.xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
        ASSERT_TRUE(XDesktop::spinUntil([&] { return loggedIn(); }, loadedMachineBound)) << "the login did not go through";
    }

    // What the service stored for the test user: app names by id, and how many uploads came.
    std::pair<QHash<QString, QString>, int> stored()
    {
        httplib::Client client("127.0.0.1", server.port());
        const auto result = client.Get("/dev/activities");
        QHash<QString, QString> names;
        int uploads = 0;
        if (!result)
            return {names, uploads};
        for (const QJsonValue &user : QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object().value("users").toArray()) {
            uploads += user.toObject().value("uploads").toInt();
            for (const QJsonValue &session : user.toObject().value("user_activities").toArray())
                names.insert(session.toObject().value("id").toString(), session.toObject().value("app_name").toString());
        }
        return {names, uploads};
    }

    bool storedApps(const QStringList &names)
    {
        const auto apps = stored().first.values();
        return std::all_of(names.cbegin(), names.cend(), [&](const QString &name) { return apps.contains(name); });
    }

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

TEST_F(AgentEndToEnd, LogInTrackUploadLogOutLogInAgainAndQuitAfterTheFinalUpload)
{
    EXPECT_FALSE(loggedIn());
    logInThroughThePanel();
    ASSERT_FALSE(HasFatalFailure());

    // Tracking: two real windows, each reaching the service with the uploads. The agent reads
    // which window is active when it handles the change: switching on before the service has
    // seen the first would let a busy agent see only the second.
    ASSERT_TRUE(desktop.activate(terminal));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return storedApps({"XTerm"}); }, loadedMachineBound)) << "no XTerm session arrived";
    ASSERT_TRUE(desktop.activate(logo));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return storedApps({"XTerm", "XLogo"}); }, loadedMachineBound)) << "no XLogo session arrived";

    // Log out from the panel's settings menu: the login form comes back, the access token is gone
    // from the keyring and the refresh token stays.
    ASSERT_TRUE(openPanel());
    const QRect account = panel();
    ASSERT_TRUE(openMenu(QPoint(account.right() - 22, account.top() + 21), QStringLiteral("1")));
    ASSERT_TRUE(desktop.xdotool({QStringLiteral("key"), QStringLiteral("Down"), QStringLiteral("Return")}));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !loggedIn(); }, loadedMachineBound)) << "the log-out did not go through";
    EXPECT_EQ(KeyringSession::secretTool({"lookup", "service", "hourloomApiAccessToken", "account", "hourloom-Test"}), "");
    EXPECT_NE(KeyringSession::secretTool({"lookup", "service", "hourloomApiRefreshToken", "account", "hourloom-Test"}), "");

    // In again, a switch, and quit from the tray menu: the final upload arrives before the end.
    logInThroughThePanel();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(desktop.activate(terminal));
    const int uploadsBeforeQuit = stored().second;
    ASSERT_TRUE(click(trayIcon().center())); // closes the panel the login left open
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !panel().isValid(); }, loadedMachineBound));
    ASSERT_TRUE(openMenu(trayIcon().center(), QStringLiteral("3")));
    ASSERT_TRUE(desktop.xdotool({QStringLiteral("key"), QStringLiteral("Up"), QStringLiteral("Return")}));
    ASSERT_TRUE(agent.process().waitForFinished(loadedMachineBound)) << "the agent did not quit";
    EXPECT_EQ(agent.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(agent.process().exitCode(), 0);
    EXPECT_GT(stored().second, uploadsBeforeQuit);
}

} // namespace
