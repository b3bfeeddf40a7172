// What tracking does on every desktop, run by each desktop's test program on its own desktop.
#include "DesktopTracking.h"

#include "core/Log.h"
#include "support/AgentBundle.h"
#include "support/DevServerProcess.h"
#include "support/KeyringSession.h"
#include "platform/desktops/wayland/WaylandIdleNotifier.h"

#include <QFileInfo>
#include <QScopeGuard>
#include <QSettings>

#include <signal.h>

#include <typeinfo>

namespace hourloom::test {

TEST_P(DesktopScenarios, EverySwitchOfApplicationLandsInTheBatchInOrderWithItsNameAndId)
{
    ASSERT_NO_FATAL_FAILURE(track());
    ASSERT_NO_FATAL_FAILURE(startIn(window(0)));
    int activations = 0;
    center.addObserver(didActivateApplicationNotification, [&](const Notification &) { ++activations; });

    ASSERT_TRUE(switchTo(window(1)));
    ASSERT_TRUE(switchTo(window(2)));
    ASSERT_TRUE(switchTo(window(0)));
    const AppSessionList batch = sessions();
    ASSERT_EQ(batch.size(), 4);
    for (qsizetype i = 0; i < batch.size(); ++i) {
        EXPECT_EQ(batch[i]->appName(), window(i % 3).name);
        EXPECT_EQ(batch[i]->bundleIdentifier(), window(i % 3).bundleIdentifier);
        EXPECT_EQ(batch[i]->isActive(), i == 3);
    }

    // The same application again is no switch. Once the tracker found nothing frontmost (an
    // empty desktop, as at a return from idleness there), the next activation is news even for
    // that application, and adds no session of its own. The next real switch is told after
    // them: once it arrived, so would they have.
    ASSERT_TRUE(desktop().activate(window(0)));
    if (desktop().hasEmptyDesktop) {
        ASSERT_TRUE(desktop().showEmptyDesktop());
        ASSERT_TRUE(waitFor([&] { return frontmostName().isEmpty(); }));
        ASSERT_TRUE(desktop().activate(window(0)));
        EXPECT_TRUE(waitFor([&] { return activations == 4; })) << "the return to the application known before went untold";
    }
    ASSERT_TRUE(switchTo(window(1)));
    EXPECT_EQ(sessions().size(), 5);
    EXPECT_EQ(activations, desktop().hasEmptyDesktop ? 5 : 4);
}

TEST_P(DesktopScenarios, IdlenessEndsTheSessionAWindowWhileAwayIsNoReturnAndInputIs)
{
    ASSERT_NO_FATAL_FAILURE(track(0.3));
    idle->idlePollingInterval = 0.1;
    ASSERT_NO_FATAL_FAILURE(startIn(window(0)));
    const auto away = sessions().value(0);
    ASSERT_TRUE(waitFor([&] { return idle->isIdle; }));
    EXPECT_FALSE(away->isActive());
    EXPECT_TRUE(idle->resumeFromIdleTracker.has_value());
    EXPECT_EQ(idle->timer, nullptr);
    const QDateTime idleEnd = away->endTime().value();

    // A window comes forward while the user is away: that is no input, and nothing opens.
    ASSERT_TRUE(bringForward(window(1), [&] { return frontmostName() == window(1).name; }));
    desktop().settle();
    EXPECT_TRUE(idle->isIdle);
    EXPECT_EQ(idle->timer, nullptr);
    EXPECT_EQ(sessions(), AppSessionList{away});

    // The user types: back, in the application frontmost now, recorded once. From here on no
    // pause counts as idleness, and a session cut short would be dropped.
    idle->minIdleTime = 3600;
    controller->minSessionDuration = 2;
    ASSERT_TRUE(desktop().pressKey());
    ASSERT_TRUE(waitFor([&] { return !idle->isIdle; }));
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(desktop().movePointer());
    desktop().settle();
    ASSERT_EQ(sessions().size(), 2);
    const auto back = sessions().last();
    EXPECT_EQ(back->appName(), window(1).name);
    EXPECT_TRUE(back->isActive());
    EXPECT_EQ(away->endTime(), idleEnd);
    EXPECT_EQ(controller->sessionBatch()->appSwitchingCount(), 0);
    EXPECT_FALSE(idle->resumeFromIdleTracker.has_value());

    // The new session restarted the poll: idle again, and the pointer ends it.
    idle->minIdleTime = 0.3;
    controller->minSessionDuration = 0;
    ASSERT_TRUE(waitFor([&] { return idle->isIdle; }));
    EXPECT_FALSE(back->isActive());
    desktop().settle();
    ASSERT_TRUE(desktop().movePointer());
    ASSERT_TRUE(waitFor([&] { return !idle->isIdle; }));
    EXPECT_TRUE(sessions().last()->isActive());
}

TEST_P(DesktopScenarios, OnThisDesktopTheAgentChoosesItsBackendAndIdleSourceAndSaysNothingAboutIt)
{
    const QProcessEnvironment environment = desktop().clientEnvironment();
    std::optional<LogCapture> capture(std::in_place);
    const PlatformBackend chosen = PlatformBackend::forDesktop(center, environment);
    const QStringList said = capture->standardOutput().split(u'\n', Qt::SkipEmptyParts);
    capture.reset();

    // Only the backends tried before this desktop's say, each in one line, why they cannot start.
    const auto candidates = PlatformBackend::candidatesFor(environment);
    const auto ours = std::find_if(candidates.begin(), candidates.end(), [&](const auto &candidate) { return candidate.name == desktop().backendName; });
    ASSERT_NE(ours, candidates.end());
    ASSERT_EQ(said.size(), ours - candidates.begin()) << said.join(u'\n').toStdString();
    for (qsizetype i = 0; i < said.size(); ++i)
        EXPECT_TRUE(said[i].startsWith(QStringLiteral("The %1 backend cannot start: ").arg(candidates[i].name))) << said[i].toStdString();

    const PlatformBackend expected = desktop().services(center, 3600);
    ASSERT_TRUE(chosen.workspace && chosen.eventSource && chosen.eventTracker);
    EXPECT_EQ(typeid(*chosen.workspace), typeid(*expected.workspace));
    EXPECT_EQ(typeid(*chosen.eventSource), typeid(*expected.eventSource));
    EXPECT_EQ(typeid(*chosen.eventTracker), typeid(*expected.eventTracker));
    const auto notice = std::dynamic_pointer_cast<WaylandIdleNotifier>(chosen.eventSource);
    EXPECT_EQ(notice ? notice->protocol() : QString(), desktop().idleProtocol);
    ASSERT_TRUE(bringForward(window(1), [&] {
        const auto frontmost = chosen.workspace->frontmostApplication();
        return frontmost && frontmost->localizedName == window(1).name && frontmost->bundleIdentifier == window(1).bundleIdentifier;
    }));
}

TEST_P(DesktopScenarios, StartedHereWithSeveralBrokenKeysTheAgentNamesTheOneItsConstructionReadsFirst)
{
    // The platform services built first read the environment (the updater) and, on Wayland, the
    // idle threshold; the login controller's endpoint is still the first key start-up meets.
    AgentBundle agent({{{"ROOT_URL", QJsonValue::Null}, {"ENVIRONMENT", QJsonValue::Null}, {"MIN_IDLE_TIME", "not a number"}}});
    ASSERT_TRUE(agent.start(desktop().clientEnvironment()));
    ASSERT_TRUE(agent.process().waitForFinished(60000));
    EXPECT_NE(agent.process().exitCode(), 0);
    EXPECT_TRUE(agent.output().contains("Fatal error: ROOT_URL")) << agent.output().toStdString();
}

// GNOME without an AppIndicator extension: nothing on the desktop shows tray icons. The agent has
// a keyring for its login and the local account service; the panel is watched through AT-SPI, as
// a screen reader meets it, on every desktop alike.
TEST_P(DesktopScenarios, WithoutATrayTheFirstStartOpensThePanelAnyStartBringsItBackAndTheUserLogsInAndQuitsThere)
{
    if (!desktop().startsApplications)
        GTEST_SKIP() << "the tests start no applications as the user does on this desktop";
    const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    KeyringSession keyring(desktop().hasOwnSessionBus);
    keyring.SetUp();
    const auto stop = qScopeGuard([&] {
        keyring.TearDown();
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
    });
    ASSERT_TRUE(KeyringSession::isReady());
    QTemporaryDir home;
    DevServerProcess server;
    AgentBundle agent({{{"ROOT_URL", server.rootURL().toString()}}});
    QProcessEnvironment session = desktop().clientEnvironment();
    for (const auto &[name, value] : {std::pair{"HOME", home.path()}, {"XDG_CONFIG_HOME", home.filePath(QStringLiteral("config"))},
                                      {"XDG_STATE_HOME", home.filePath(QStringLiteral("state"))}, {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON", QStringLiteral("1")},
                                      {"DBUS_SESSION_BUS_ADDRESS", qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS")},
                                      {"PATH", QFileInfo(agent.executable()).path() + u':' + session.value(QStringLiteral("PATH"))}})
        session.insert(QString::fromLatin1(name), value);
    // Whether every step of the AT-SPI client held.
    const auto panel = [&](const QStringList &steps) {
        QProcess client;
        client.setProcessEnvironment(session);
        client.start(QStringLiteral("/usr/bin/python3"), QStringList{QStringLiteral(PANEL_ATSPI), QStringLiteral("pid:%1").arg(agent.process().processId())} + steps);
        const bool held = client.waitForFinished(300000) && client.exitCode() == 0;
        EXPECT_TRUE(held) << client.readAll().toStdString() << "agent output:\n" << agent.output().toStdString();
        return held;
    };
    const auto startAgent = [&] {
        const qsizetype trayless = agent.output().count("No system tray");
        return agent.start(session) && XDesktop::spinUntil([&] { return agent.output().count("No system tray") > trayless; }, 90000);
    };

    ASSERT_TRUE(startAgent());
    EXPECT_TRUE(panel({QStringLiteral("window")})) << "the first start opened no window";
    // A second start says so and ends; the token a desktop gave it is no one else's business.
    const auto second = runProgram(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("XDG_ACTIVATION_TOKEN=token-of-this-start hourloom 2>&1")}, session, 60);
    EXPECT_TRUE(second && second->contains(QLatin1String("Hourloom is already running\n")) && !second->contains(QLatin1String("token-of-this-start")))
        << second.value_or(QStringLiteral("(failed)")).toStdString();

    // A start from the applications brings the panel forward with the focus, also once Escape
    // closed it, and the user logs in and quits there.
    ASSERT_TRUE(desktop().startFromTheApplications(QStringLiteral(HOURLOOM_DESKTOP_ENTRY), session));
    ASSERT_TRUE(panel({QStringLiteral("active")})) << "the panel did not take the focus";
    ASSERT_TRUE(desktop().pressEscape());
    ASSERT_TRUE(panel({QStringLiteral("closed")}));
    // The user works elsewhere meanwhile.
    ASSERT_TRUE(desktop().activate(window(1)) && desktop().pressKey());
    ASSERT_TRUE(desktop().startFromTheApplications(QStringLiteral(HOURLOOM_DESKTOP_ENTRY), session));
    ASSERT_TRUE(panel({QStringLiteral("active"), QStringLiteral("type:Email=") + DevServerProcess::email, QStringLiteral("type:Password=") + DevServerProcess::password,
                       QStringLiteral("press:Log In"), QStringLiteral("menu:Settings/Quit")}));
    ASSERT_TRUE(agent.process().waitForFinished(90000)) << "Quit in the panel did not end the agent";
    EXPECT_EQ(agent.process().exitCode(), 0);
    EXPECT_TRUE(QSettings(home.filePath(QStringLiteral("config/Hourloom/Hourloom.conf")), QSettings::IniFormat).value(QStringLiteral("loggedIn")).toBool())
        << "the login did not go through, or the quit logged out";

    // The next start leaves the panel closed.
    ASSERT_TRUE(startAgent());
    EXPECT_TRUE(panel({QStringLiteral("closed")})) << "the panel opened by itself again";
    ::kill(pid_t(agent.process().processId()), SIGTERM);
    EXPECT_TRUE(agent.process().waitForFinished(90000));
}

} // namespace hourloom::test
