#include "AgentFixture.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <httplib.h>

#include <signal.h>

namespace hourloom::test {
namespace {

[[maybe_unused]] auto *const keyring = ::testing::AddGlobalTestEnvironment(new KeyringSession);

} // namespace

AgentFixture::AgentFixture(const QJsonObject &configuration)
    : agent({{{"ROOT_URL", server.rootURL().toString()}, {"SECONDS_BETWEEN_API_SENDS", "2"}, {"SECONDS_MIN_APP_SESSION", "0"}, {"MIN_IDLE_TIME", "600"}},
             configuration})
{
}

void AgentFixture::SetUp()
{
    ASSERT_TRUE(KeyringSession::isReady());
    ASSERT_TRUE(desktop.error().isEmpty()) << desktop.error().toStdString();
    ASSERT_TRUE(!withTray || desktop.startTray());
    terminal = desktop.openWindow(QStringLiteral("xterm"), {}, QStringLiteral("XTerm"));
    logo = desktop.openWindow(QStringLiteral("xlogo"), {QStringLiteral("-xrm"), QStringLiteral("*input: true")}, QStringLiteral("XLogo"));
    ASSERT_FALSE(terminal.isEmpty());
    ASSERT_FALSE(logo.isEmpty());

    // The keyring outlives each test in this process: a login an earlier test left there would
    // log this agent in against a service that never issued it.
    for (const char *service : {"hourloomApiAccessToken", "hourloomApiRefreshToken"})
        KeyringSession::secretTool({"clear", "service", service, "account", "hourloom-Test"});
    QDir(home.path()).mkpath(QStringLiteral("config"));
    QDir(home.path()).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(home.filePath(QStringLiteral("runtime")), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    startAgent();
}

void AgentFixture::TearDown()
{
    if (HasFailure())
        std::cerr << "agent output:\n" << agent.output().toStdString() << std::endl;
}

QProcessEnvironment AgentFixture::environment(const QString &display) const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display);
    // A home of the test's own: whatever the agent writes, here or beside it, stays in the test.
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_STATE_HOME"), home.filePath(QStringLiteral("state")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("runtime")));
    // A desktop entry's "Exec=hourloom" runs the bundle's agent.
    environment.insert(QStringLiteral("PATH"), QFileInfo(agent.executable()).absolutePath() + u':' + environment.value(QStringLiteral("PATH")));
    for (auto extra = extraEnvironment.cbegin(); extra != extraEnvironment.cend(); ++extra)
        environment.insert(extra.key(), extra.value());
    return environment;
}

void AgentFixture::startAgent(const QString &display)
{
    agent.process().setWorkingDirectory(home.path());
    const qsizetype trayless = agent.output().count("No system tray");
    ASSERT_TRUE(agent.start(environment(display.isEmpty() ? desktop.display() : display), launcher));
    if (display.isEmpty() && withTray) {
        // The icon is in the tray once the tray has grown around it.
        ASSERT_TRUE(XDesktop::spinUntil([&] { return trayIcon().width() >= 16; }, loadedMachineBound)) << agent.output().toStdString();
    } else {
        ASSERT_TRUE(XDesktop::spinUntil([&] { return agent.output().count("No system tray") > trayless; }, loadedMachineBound)) << agent.output().toStdString();
    }
}

bool AgentFixture::startAgainFromTheApplications()
{
    return XDesktop::launch(QStringLiteral(HOURLOOM_DESKTOP_ENTRY), environment(desktop.display()))
        && XDesktop::spinUntil([&] { return panelIsActive(); }, loadedMachineBound);
}

std::pair<QString, QRect> AgentFixture::agentWindow(bool panel)
{
    for (const auto &window : desktop.windowsOfClass(QStringLiteral("^Hourloom$"))) {
        if ((window.second.width() > 100) == panel)
            return window;
    }
    return {};
}

bool AgentFixture::click(const QPoint &at, const QString &button)
{
    return desktop.xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"), button});
}

bool AgentFixture::openMenu(const QPoint &at, const QString &button)
{
    const qsizetype shown = desktop.windowsOfClass(QStringLiteral("^Hourloom$")).size();
    return click(at, button) && XDesktop::spinUntil([&] { return desktop.windowsOfClass(QStringLiteral("^Hourloom$")).size() > shown; }, loadedMachineBound);
}

bool AgentFixture::openPanel()
{
    // A click on the icon opens the panel with the focus in it, or gives the focus to a panel the
    // agent opened by itself; it closes the panel only when that has the focus.
    if (!panelIsActive()) {
        if (!withTray)
            return startAgainFromTheApplications();
        click(trayIcon().center());
    }
    if (XDesktop::spinUntil([&] { return panelIsActive(); }, loadedMachineBound))
        return true;
    std::cerr << "the panel has no focus: focus in " << desktop.xdotoolOutput({QStringLiteral("getwindowfocus")}).toStdString() << "agent windows";
    for (const auto &[id, geometry] : desktop.windowsOfClass(QStringLiteral("^Hourloom$")))
        std::cerr << ' ' << id.toStdString() << ' ' << geometry.width() << 'x' << geometry.height();
    std::cerr << std::endl;
    return false;
}

bool AgentFixture::panelIsActive()
{
    const QString active = desktop.xdotoolOutput({QStringLiteral("getactivewindow")}).trimmed();
    const auto windows = desktop.windowsOfClass(QStringLiteral("^Hourloom$"));
    return std::any_of(windows.cbegin(), windows.cend(), [&](const auto &window) { return window.first == active && window.second.width() > 100; });
}

void AgentFixture::closePanel()
{
    ASSERT_TRUE(openPanel());
    ASSERT_TRUE(desktop.xdotool({QStringLiteral("key"), QStringLiteral("Escape")}));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !panel().isValid(); }, loadedMachineBound));
}

bool AgentFixture::loggedIn()
{
    QSettings settings(home.filePath(QStringLiteral("config/Hourloom/Hourloom.conf")), QSettings::IniFormat);
    return settings.value(QStringLiteral("loggedIn")).toBool();
}

void AgentFixture::logInThroughThePanel(const QString &email)
{
    ASSERT_TRUE(openPanel());
    ASSERT_TRUE(desktop.xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("2"), email}));
    ASSERT_TRUE(desktop.xdotool({QStringLiteral("key"), QStringLiteral("Tab")}));
    ASSERT_TRUE(desktop.xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("2"), DevServerProcess::password}));
    ASSERT_TRUE(desktop.xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return loggedIn(); }, loadedMachineBound)) << "the login did not go through";
}

void AgentFixture::chooseInTheSettingsMenu(int place)
{
    // The focus is on the settings button once the panel opens logged in, as after the login.
    ASSERT_TRUE(openPanel());
    const qsizetype shown = desktop.windowsOfClass(QStringLiteral("^Hourloom$")).size();
    ASSERT_TRUE(desktop.xdotool({QStringLiteral("key"), QStringLiteral("space")}));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return desktop.windowsOfClass(QStringLiteral("^Hourloom$")).size() > shown; }, loadedMachineBound));
    ASSERT_TRUE(desktop.xdotool(QStringList{QStringLiteral("key")} + QStringList(place, QStringLiteral("Down")) + QStringList{QStringLiteral("Return")}));
}

void AgentFixture::logOutThroughThePanel()
{
    ASSERT_NO_FATAL_FAILURE(chooseInTheSettingsMenu(1));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !loggedIn(); }, loadedMachineBound)) << "the log-out did not go through";
}

void AgentFixture::quitAgent()
{
    ::kill(pid_t(agent.process().processId()), SIGTERM);
    expectCleanExit("SIGTERM");
}

void AgentFixture::expectCleanExit(const char *cause)
{
    ASSERT_TRUE(agent.process().waitForFinished(loadedMachineBound)) << cause << " did not end the agent";
    EXPECT_EQ(agent.process().exitStatus(), QProcess::NormalExit) << cause;
    EXPECT_EQ(agent.process().exitCode(), 0) << cause;
}

void AgentFixture::workInTwoApplications(QDateTime &begin, bool duringAnOutage)
{
    ASSERT_NO_FATAL_FAILURE(logInThroughThePanel());
    ASSERT_NO_FATAL_FAILURE(closePanel());
    XDesktop::spinFor(1100);
    begin = QDateTime::currentDateTime();
    if (duringAnOutage)
        serviceDown();
    ASSERT_TRUE(desktop.activate(terminal));
    XDesktop::spinFor(1500);
    ASSERT_TRUE(desktop.activate(logo));
    XDesktop::spinFor(1500);
}

QByteArray AgentFixture::storedToken(const char *service)
{
    return KeyringSession::secretTool({"lookup", "service", service, "account", "hourloom-Test"});
}

bool AgentFixture::storedApps(const QStringList &names)
{
    QStringList apps;
    for (const StoredAppSession &session : server.storedActivities())
        apps.append(session.appName);
    return std::all_of(names.cbegin(), names.cend(), [&](const QString &name) { return apps.contains(name); });
}

void AgentFixture::serviceDown()
{
    server.injectFault(QJsonObject{{"endpoint", "/api/v1/user_activities"}, {"count", 1000}, {"status", 503}});
}

void AgentFixture::serviceBack()
{
    httplib::Client client("127.0.0.1", server.port());
    const auto result = client.Delete("/dev/faults");
    ASSERT_TRUE(result && result->status == 204);
}

} // namespace hourloom::test
