// Tracking on a real headless KWin: the script-fed workspace wired to the session batch
// controller as the agent wires it, with native Wayland windows and an Xwayland one.
#include "core/Log.h"
#include "core/MainLoopTimer.h"
#include "model/AppSession.h"
#include "platform/desktops/entries/DesktopEntryIndex.h"
#include "platform/desktops/BackendAttempt.h"
#include "platform/desktops/PlatformBackend.h"
#include "platform/desktops/kde/KWinWorkspace.h"
#include "platform/desktops/kde/KdeBackend.h"
#include "platform/desktops/wayland/WaylandIdleNotifier.h"
#include "tracking/AppSwitchTracker.h"
#include "tracking/IdleTimeController.h"
#include "tracking/IdleTimeTracker.h"
#include "tracking/SessionBatchController.h"

#include "support/DesktopTrackingTest.h"
#include "support/KWinDesktop.h"
#include "support/XDesktop.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace hourloom;
using hourloom::test::KWinDesktop;
using hourloom::test::XDesktop;

namespace {

const QString alpha = QStringLiteral("Alpha");                  // xterm under Xwayland, entry by StartupWMClass
const QString beta = QStringLiteral("org.hourloom.Beta");       // Wayland, entry by desktop file name
const QString gamma = QStringLiteral("hourloom-gamma-no-entry"); // Wayland, no entry

class KWinTracking : public DesktopTrackingTest {
protected:
    static void SetUpTestSuite()
    {
        dataHome = new QTemporaryDir;
        QDir(dataHome->path()).mkpath(QStringLiteral("applications/hourloom-test"));
        const auto writeEntry = [](const QString &path, const QByteArray &text) {
            QFile entry(dataHome->filePath(QStringLiteral("applications/") + path));
            entry.open(QIODevice::WriteOnly);
            entry.write("[Desktop Entry]\nType=Application\n" + text);
        };
        writeEntry(QStringLiteral("hourloom-test/alpha.desktop"), "Name=Alpha Terminal\nExec=xterm -class Alpha\nStartupWMClass=Alpha\n");
        writeEntry(beta + QStringLiteral(".desktop"), "Name=Beta Board\nExec=beta-board\n");
        qputenv("XDG_DATA_HOME", dataHome->path().toUtf8());

        desktop = new KWinDesktop;
        if (!desktop->error().isEmpty())
            return;
        windowsOpen = desktop->openXWindow(QStringLiteral("xterm"), {QStringLiteral("-class"), alpha}, alpha)
                   && desktop->openWaylandWindow(beta) && desktop->openWaylandWindow(gamma);
    }

    static void TearDownTestSuite()
    {
        delete desktop;
        delete dataHome;
    }

    void SetUp() override
    {
        ASSERT_TRUE(desktop->error().isEmpty()) << desktop->error().toStdString();
        ASSERT_TRUE(windowsOpen);
        QString whyNot;
        workspace = KWinWorkspace::start(desktop->bus(), DesktopEntryIndex::fromSystem(), center, &whyNot);
        ASSERT_NE(workspace, nullptr) << whyNot.toStdString();
        observe(workspace);
    }

    // The controller as the agent makes it, with KWin's idle notice after the threshold.
    void startController(double idleThreshold = 3600)
    {
        connection = WaylandConnection::open(desktop->clientEnvironment());
        ASSERT_NE(connection, nullptr);
        idleNotifier = WaylandIdleNotifier::watch(connection, idleThreshold);
        ASSERT_NE(idleNotifier, nullptr);
        control(idleNotifier, idleNotifier);
        idle->minIdleTime = idleThreshold;
    }


    bool frontmostIs(const QString &name) const
    {
        const auto frontmost = workspace->frontmostApplication();
        return frontmost && frontmost->localizedName == name;
    }

    // Tracking started as the agent starts it, with the Alpha terminal frontmost.
    bool startTrackingInAlpha()
    {
        if (!desktop->activate(alpha.toLower()) || !XDesktop::spinUntil([&] { return frontmostIs(QStringLiteral("Alpha Terminal")); }))
            return false;
        QCoreApplication::processEvents(); // the activation that told it
        tracker->recordFrontmostApplication(*controller);
        tracker->startObserving(controller, true);
        return lastName() == QStringLiteral("Alpha Terminal");
    }

    bool activateAndWait(const QString &window, const QString &expectedName)
    {
        return desktop->activate(window) && XDesktop::spinUntil([&] { return lastName() == expectedName; });
    }

    static inline QTemporaryDir *dataHome = nullptr;
    static inline KWinDesktop *desktop = nullptr;
    static inline bool windowsOpen = false;

    std::shared_ptr<KWinWorkspace> workspace;
    std::shared_ptr<WaylandConnection> connection;
    std::shared_ptr<WaylandIdleNotifier> idleNotifier;
};

TEST_F(KWinTracking, EverySwitchOfApplicationLandsInTheBatchInOrderWithItsNameAndId)
{
    startController();
    controller->minSessionDuration = 0;
    ASSERT_TRUE(startTrackingInAlpha());

    ASSERT_TRUE(activateAndWait(beta, "Beta Board"));
    ASSERT_TRUE(activateAndWait(gamma, gamma));
    ASSERT_TRUE(activateAndWait(alpha.toLower(), "Alpha Terminal"));

    const AppSessionList batch = sessions();
    ASSERT_EQ(batch.size(), 4);
    // Entry by StartupWMClass (KWin lowers the class); entry by desktop file name; none (the class).
    EXPECT_EQ(batch[0]->bundleIdentifier(), "hourloom-test-alpha");
    EXPECT_EQ(batch[1]->bundleIdentifier(), beta);
    EXPECT_EQ(batch[2]->bundleIdentifier(), gamma);
    EXPECT_EQ(batch[3]->bundleIdentifier(), "hourloom-test-alpha");
    for (qsizetype i = 0; i + 1 < batch.size(); ++i)
        EXPECT_FALSE(batch[i]->isActive());
    EXPECT_TRUE(batch[3]->isActive());

    // Another client of the bus cannot pass itself off as KWin; the same application again is no
    // switch. The call goes out before the activation, so both have arrived once Alpha is back.
    QDBusMessage forged = QDBusMessage::createMethodCall(desktop->bus().baseService(), workspace->objectPath(),
                                                         KWinWorkspace::interfaceName, QStringLiteral("windowActivated"));
    forged << QStringLiteral("forged") << QStringLiteral("forged") << QStringLiteral("org.hourloom.Forged") << QStringLiteral("0");
    QDBusConnection stranger = QDBusConnection::connectToBus(desktop->busAddress(), QStringLiteral("stranger"));
    stranger.call(forged, QDBus::BlockWithGui); // this process answers it: keep the loop running
    ASSERT_TRUE(desktop->activate(beta));
    ASSERT_TRUE(desktop->activate(alpha.toLower()));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return sessions().size() == 6; }));
    EXPECT_EQ(sessions()[4]->appName(), "Beta Board");
    EXPECT_EQ(sessions()[5]->appName(), "Alpha Terminal");
    QDBusConnection::disconnectFromBus(QStringLiteral("stranger"));
}

TEST_F(KWinTracking, AQuickDetourWithinTheMinimumMergesIntoTheEarlierSession)
{
    startController();
    controller->minSessionDuration = 3;
    ASSERT_TRUE(startTrackingInAlpha());
    const auto first = sessions().value(0);
    XDesktop::spinFor(3500); // long enough to be kept

    ASSERT_TRUE(activateAndWait(beta, "Beta Board"));
    ASSERT_TRUE(desktop->activate(alpha.toLower()));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return sessions().size() == 1 && controller->sessionBatch()->appSwitchingCount() == 1; }))
        << sessions().size() << " sessions, " << controller->sessionBatch()->appSwitchingCount() << " dropped, last " << lastName().toStdString();
    EXPECT_EQ(sessions().first(), first);
    EXPECT_TRUE(first->isActive());
}

TEST_F(KWinTracking, IdlenessEndsTheSessionFocusWhileAwayIsNoReturnAndFakeInputIs)
{
    startController(0.3);
    EXPECT_EQ(idleNotifier->protocol(), "ext_idle_notifier_v1");
    idle->idlePollingInterval = 0.1;
    controller->minSessionDuration = 0;
    ASSERT_TRUE(startTrackingInAlpha());
    const auto session = sessions().value(0);

    ASSERT_TRUE(XDesktop::spinUntil([&] { return idle->isIdle; }));
    EXPECT_FALSE(session->isActive());
    EXPECT_TRUE(idle->resumeFromIdleTracker.has_value());
    EXPECT_EQ(idle->timer, nullptr);
    const QDateTime idleEnd = session->endTime().value();

    // A window comes forward while the user is away: that is no input, and nothing opens.
    ASSERT_TRUE(desktop->activate(beta));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return frontmostIs(QStringLiteral("Beta Board")); }));
    connection->roundtrip();
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(idle->isIdle);
    EXPECT_EQ(sessions(), AppSessionList{session});
    EXPECT_EQ(session->endTime(), idleEnd);

    // The pointer moves: back, in the application that is frontmost now.
    ASSERT_TRUE(desktop->movePointer());
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !idle->isIdle; }));
    EXPECT_FALSE(idle->resumeFromIdleTracker.has_value());
    ASSERT_EQ(sessions().size(), 2);
    EXPECT_EQ(sessions().last()->appName(), "Beta Board");
    EXPECT_TRUE(sessions().last()->isActive());
    EXPECT_EQ(session->endTime(), idleEnd);

    // The new session restarted the poll: idle again, and the pointer ends it again.
    ASSERT_TRUE(XDesktop::spinUntil([&] { return idle->isIdle; }));
    EXPECT_FALSE(sessions().last()->isActive());
    ASSERT_TRUE(desktop->movePointer());
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !idle->isIdle; }));
    EXPECT_TRUE(sessions().last()->isActive());
}

TEST_F(KWinTracking, AWaylandSessionWithKWinGetsTheKdeBackendWithKWinsIdleNotices)
{
    QProcessEnvironment environment = desktop->clientEnvironment();
    environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    std::optional<LogCapture> capture(std::in_place);
    const PlatformBackend backend = PlatformBackend::forDesktop(center, environment);
    // GNOME Shell, tried first, is not on this bus and may say so; nothing else is said.
    const std::string said = capture->standardOutput().toStdString();
    capture.reset();
    EXPECT_TRUE(said.empty() || said == "The GNOME Shell backend cannot start: GNOME Shell is not on the session bus\n") << said;
    EXPECT_NE(std::dynamic_pointer_cast<KWinWorkspace>(backend.workspace), nullptr);
    EXPECT_NE(std::dynamic_pointer_cast<WaylandIdleNotifier>(backend.eventSource), nullptr);
    EXPECT_EQ(backend.eventTracker, std::dynamic_pointer_cast<EventTrackerProtocol>(backend.eventSource));

    ASSERT_TRUE(desktop->activate(beta));
    ASSERT_TRUE(XDesktop::spinUntil([&] {
        const auto frontmost = backend.workspace->frontmostApplication();
        return frontmost && frontmost->localizedName == "Beta Board";
    }));
}

TEST_F(KWinTracking, ARestartedKWinGetsTheScriptAgainAndAGoneWorkspaceTakesItsScriptAlong)
{
    startController();
    controller->minSessionDuration = 0;
    ASSERT_TRUE(startTrackingInAlpha());
    const QString script = workspace->scriptName();
    const auto isLoaded = [&] {
        QDBusMessage ask = QDBusMessage::createMethodCall(QStringLiteral("org.kde.KWin"), QStringLiteral("/Scripting"),
                                                          QStringLiteral("org.kde.kwin.Scripting"), QStringLiteral("isScriptLoaded"));
        ask << script;
        return desktop->bus().call(ask).arguments().value(0).toBool();
    };
    ASSERT_TRUE(isLoaded());

    desktop->stopKWin();
    // Without KWin, or without a bus, the backend does not start, and says why.
    EXPECT_EQ(startKdeBackend(center, desktop->clientEnvironment()).whyNot, "no KWin on the session bus");
    QProcessEnvironment busless = desktop->clientEnvironment();
    busless.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/bus"));
    EXPECT_EQ(startKdeBackend(center, busless).whyNot, "no session bus");

    ASSERT_TRUE(desktop->startKWin()) << desktop->error().toStdString();
    // A window opened on the restarted KWin sometimes never shows in its client list when the
    // machine is loaded (the client is mapped and focused): the reload is checked on its own.
    EXPECT_TRUE(XDesktop::spinUntil(isLoaded, 60000)) << "the script was not loaded into the restarted KWin";

    workspace.reset();
    tracker.reset();
    controller.reset();
    idle.reset();
    EXPECT_FALSE(isLoaded());
}

} // namespace
