// Tracking on a real GNOME Shell (headless, Wayland, with Xwayland): the agent's shell extension,
// the workspace, idle seconds and input monitor over D-Bus, wired to the session batch controller
// as the agent wires them. One shell serves every test of this process.
#include "core/DesktopSetupHint.h"
#include "core/Log.h"
#include "core/MainLoopTimer.h"
#include "model/AppSession.h"
#include "platform/desktops/entries/DesktopEntryIndex.h"
#include "platform/desktops/gnome/GnomeBackend.h"
#include "platform/desktops/gnome/GnomeExtensionInstaller.h"
#include "platform/desktops/gnome/GnomeShellExtension.h"
#include "platform/desktops/gnome/GnomeWorkspace.h"
#include "platform/desktops/gnome/MutterIdleSource.h"
#include "platform/desktops/gnome/MutterInputMonitor.h"
#include "tracking/AppSwitchTracker.h"
#include "tracking/IdleTimeController.h"
#include "tracking/IdleTimeTracker.h"
#include "tracking/SessionBatchController.h"

#include "support/DesktopTrackingTest.h"
#include "support/GnomeShell.h"
#include "support/XDesktop.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QTextStream>

#include <gtest/gtest.h>

using namespace hourloom;
using hourloom::test::GnomeShell;
using hourloom::test::XDesktop;

namespace {

constexpr unsigned shiftKeysym = 0xffe1;
// Bounds for what the loaded shell does: generous, they only end a failing wait.
constexpr int shellWaitMs = 30000;

void writeEntry(const QString &dataHome, const QString &relativePath, const QByteArray &text)
{
    const QString path = dataHome + QStringLiteral("/applications/") + relativePath;
    QDir().mkpath(QFileInfo(path).path());
    QFile entry(path);
    entry.open(QIODevice::WriteOnly);
    entry.write(text);
}

// The shell, started once for the whole process, with three windows of three applications: an
// X11 terminal found by its StartupWMClass, a Wayland window with a desktop entry of its own, and
// a Wayland window the desktop knows nothing about.
class GnomeSession : public ::testing::Environment {
public:
    void SetUp() override
    {
        shell = new GnomeShell(QStringLiteral(GNOME_EXTENSION_BUNDLE), [] {
            const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
            writeEntry(dataHome, QStringLiteral("hourloom-test/alpha.desktop"),
                       "[Desktop Entry]\nType=Application\nName=Alpha Terminal\nExec=xterm -class Alpha\nStartupWMClass=Alpha\n");
            writeEntry(dataHome, QStringLiteral("org.hourloom.TestBeta.desktop"),
                       "[Desktop Entry]\nType=Application\nName=Beta Notes\nExec=beta-notes\n");
        });
        if (!shell->error().isEmpty())
            return;
        windowsOpen = shell->openX11Window(QStringLiteral("xterm"), {QStringLiteral("-class"), QStringLiteral("Alpha")}, QStringLiteral("Alpha"))
            && shell->openWaylandWindow(QStringLiteral("org.hourloom.TestBeta")) && shell->openWaylandWindow(QStringLiteral("gamma-window"));
    }
    void TearDown() override { delete shell; }

    static inline GnomeShell *shell = nullptr;
    static inline bool windowsOpen = false;
};

[[maybe_unused]] auto *const session = ::testing::AddGlobalTestEnvironment(new GnomeSession);

class GnomeTracking : public DesktopTrackingTest {
protected:
    void SetUp() override
    {
        ASSERT_NE(GnomeSession::shell, nullptr);
        ASSERT_TRUE(GnomeSession::shell->error().isEmpty()) << GnomeSession::shell->error().toStdString();
        ASSERT_TRUE(GnomeSession::windowsOpen);
        ASSERT_TRUE(GnomeShell::isExtensionRunning());
        const QDBusConnection bus = QDBusConnection::sessionBus();
        workspace = std::make_shared<GnomeWorkspace>(bus, DesktopEntryIndex::fromSystem(), center);
        inputMonitor = std::make_shared<MutterInputMonitor>(bus);
        observe(workspace);
        control(std::make_shared<MutterIdleSource>(bus), inputMonitor);
    }

    void TearDown() override
    {
        DesktopTrackingTest::TearDown();
        // A test that turned the extension off and failed leaves it on for the next one.
        if (GnomeSession::shell && GnomeSession::shell->error().isEmpty() && !GnomeShell::isExtensionRunning()) {
            shell().gsettings({QStringLiteral("set"), QStringLiteral("org.gnome.shell"), QStringLiteral("enabled-extensions"),
                               GnomeExtensionInstaller::formatStringList({GnomeShellExtension::uuid})});
            XDesktop::spinUntil([] { return GnomeShell::isExtensionRunning(); }, shellWaitMs);
        }
        DesktopSetupHint::shared().setText({});
    }

    static GnomeShell &shell() { return *GnomeSession::shell; }

    bool frontmostIs(const QString &name) const
    {
        return XDesktop::spinUntil([&] {
            const auto frontmost = workspace->frontmostApplication();
            return frontmost && frontmost->localizedName == name;
        }, shellWaitMs);
    }

    // Tracking started as the agent starts it, with the Alpha terminal frontmost; its session.
    std::shared_ptr<AppSessionProtocol> startTrackingInAlpha()
    {
        if (!shell().activate(QStringLiteral("Alpha")) || !frontmostIs(QStringLiteral("Alpha Terminal")))
            return nullptr;
        tracker->recordFrontmostApplication(*controller);
        tracker->startObserving(controller, true);
        return sessions().value(0);
    }

    bool activateAndWait(const QString &window, const QString &expectedName)
    {
        return shell().activate(window) && XDesktop::spinUntil([&] { return lastName() == expectedName; }, shellWaitMs);
    }

    std::shared_ptr<GnomeWorkspace> workspace;
    std::shared_ptr<MutterInputMonitor> inputMonitor;
};

TEST_F(GnomeTracking, EverySwitchOfApplicationLandsInTheBatchInOrderWithItsNameAndId)
{
    EXPECT_TRUE(shell().installOutput().contains(QLatin1String("Copied the GNOME Shell extension"))) << shell().installOutput().toStdString();
    controller->minSessionDuration = 0;
    ASSERT_NE(startTrackingInAlpha(), nullptr);
    ASSERT_EQ(lastName(), "Alpha Terminal");

    ASSERT_TRUE(activateAndWait(QStringLiteral("org.hourloom.TestBeta"), QStringLiteral("Beta Notes")));
    ASSERT_TRUE(activateAndWait(QStringLiteral("gamma-window"), QStringLiteral("gamma-window")));
    ASSERT_TRUE(activateAndWait(QStringLiteral("Alpha"), QStringLiteral("Alpha Terminal")));

    const AppSessionList batch = sessions();
    ASSERT_EQ(batch.size(), 4);
    // X11 window by StartupWMClass; Wayland window by its app_id's desktop entry; a Wayland window
    // without an entry goes by its app_id, as the X11 desktop goes by WM_CLASS.
    EXPECT_EQ(batch[0]->bundleIdentifier(), "hourloom-test-alpha");
    EXPECT_EQ(batch[1]->bundleIdentifier(), "org.hourloom.TestBeta");
    EXPECT_EQ(batch[2]->bundleIdentifier(), "gamma-window");
    EXPECT_EQ(batch[3]->bundleIdentifier(), "hourloom-test-alpha");
    for (qsizetype i = 0; i + 1 < batch.size(); ++i)
        EXPECT_FALSE(batch[i]->isActive());
    EXPECT_TRUE(batch[3]->isActive());

    // Focusing the application that already is frontmost is no switch; the next real one is
    // counted after it, so nothing was still on its way.
    ASSERT_TRUE(shell().activate(QStringLiteral("Alpha")));
    ASSERT_TRUE(activateAndWait(QStringLiteral("gamma-window"), QStringLiteral("gamma-window")));
    EXPECT_EQ(sessions().size(), 5);
}

TEST_F(GnomeTracking, AQuickDetourWithinTheMinimumMergesIntoTheEarlierSession)
{
    controller->minSessionDuration = 3;
    const auto first = startTrackingInAlpha();
    ASSERT_NE(first, nullptr);
    XDesktop::spinFor(3500); // long enough to be kept

    ASSERT_TRUE(activateAndWait(QStringLiteral("org.hourloom.TestBeta"), QStringLiteral("Beta Notes")));
    ASSERT_TRUE(shell().activate(QStringLiteral("Alpha")));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return sessions().size() == 1 && controller->sessionBatch()->appSwitchingCount() == 1; }, shellWaitMs))
        << sessions().size() << " sessions, " << controller->sessionBatch()->appSwitchingCount() << " dropped, last " << lastName().toStdString();
    EXPECT_EQ(sessions().first(), first);
    EXPECT_TRUE(first->isActive());
}

TEST_F(GnomeTracking, IdlenessEndsTheSessionAndRemoteInputEndsIdleness)
{
    controller->minSessionDuration = 0;
    idle->minIdleTime = 0.3;
    idle->idlePollingInterval = 0.1;
    const auto session = startTrackingInAlpha();
    ASSERT_NE(session, nullptr);

    ASSERT_TRUE(XDesktop::spinUntil([&] { return idle->isIdle; }, shellWaitMs));
    EXPECT_FALSE(session->isActive());
    EXPECT_TRUE(idle->resumeFromIdleTracker.has_value());
    EXPECT_EQ(idle->timer, nullptr);

    // A key: the same application is frontmost, a new session starts for it and the one
    // idleness ended keeps its end.
    const QDateTime idleEnd = session->endTime().value();
    ASSERT_TRUE(shell().pressKey(shiftKeysym));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !idle->isIdle; }, shellWaitMs));
    EXPECT_FALSE(session->isActive());
    EXPECT_EQ(session->endTime(), idleEnd);
    EXPECT_FALSE(idle->resumeFromIdleTracker.has_value());
    ASSERT_EQ(sessions().size(), 2);
    EXPECT_EQ(sessions().last()->appName(), "Alpha Terminal");
    EXPECT_TRUE(sessions().last()->isActive());

    // The new session restarted the poll: idle again (the watch was re-armed for this), and a
    // pointer move ends it.
    ASSERT_TRUE(XDesktop::spinUntil([&] { return idle->isIdle; }, shellWaitMs));
    ASSERT_TRUE(shell().movePointer(5, 5));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !idle->isIdle; }, shellWaitMs));
    EXPECT_TRUE(sessions().last()->isActive());
}

TEST_F(GnomeTracking, WithoutTheExtensionTheUserIsToldHowToEnableItAndTrackingStartsOnceItRuns)
{
    // The user turns the extension off (keeping another one on): the shell drops it at once.
    const auto setting = [](const char *key, const QString &value = {}) {
        QStringList arguments{value.isNull() ? QStringLiteral("get") : QStringLiteral("set"), QStringLiteral("org.gnome.shell"), QString::fromLatin1(key)};
        if (!value.isNull())
            arguments << value;
        return shell().gsettings(arguments).value_or(QStringLiteral("(failed)"));
    };
    ASSERT_EQ(setting("enabled-extensions", QStringLiteral("['other@example.org']")), "");
    ASSERT_EQ(setting("disabled-extensions", QStringLiteral("['hourloom@hourloom.org', 'off@example.org']")), "");
    ASSERT_TRUE(XDesktop::spinUntil([] { return !GnomeShell::isExtensionRunning(); }, shellWaitMs));

    // The agent starts on this desktop: the backend starts, says what to run, and the panel shows it.
    QProcessEnvironment environment = shell().sessionEnvironment();
    std::optional<LogCapture> capture(std::in_place);
    const BackendAttempt attempt = startGnomeBackend(center, environment);
    const std::string said = capture->standardOutput().toStdString();
    capture.reset();
    ASSERT_TRUE(attempt.backend.has_value()) << attempt.whyNot.toStdString();
    EXPECT_NE(said.find("--install-gnome-extension"), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_TRUE(DesktopSetupHint::shared().text().contains(QLatin1String("--install-gnome-extension")));

    // Tracking starts and finds nothing frontmost yet.
    auto backendTracker = std::make_shared<AppSwitchTracker>(center, didActivateApplicationNotification,
                                                             applicationUserInfoKey, attempt.backend->workspace);
    auto backendController = std::make_shared<SessionBatchController>(backendTracker, idle, WebSessionControllerClass());
    backendController->minSessionDuration = 0;
    backendTracker->recordFrontmostApplication(*backendController);
    backendTracker->startObserving(backendController, true);
    EXPECT_TRUE(backendController->sessionBatch()->appSessions().isEmpty());

    // The command the user was told enables it again, and tracking begins with what has the focus.
    QString installed;
    QTextStream out(&installed);
    EXPECT_TRUE(GnomeExtensionInstaller(QStringLiteral(GNOME_EXTENSION_BUNDLE)).install(out, out));
    out.flush();
    EXPECT_TRUE(installed.contains(QLatin1String("enabled and running"))) << installed.toStdString();
    EXPECT_EQ(setting("enabled-extensions"), "['other@example.org', 'hourloom@hourloom.org']");
    EXPECT_EQ(setting("disabled-extensions"), "['off@example.org']");
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !backendController->sessionBatch()->appSessions().isEmpty(); }, shellWaitMs));
    EXPECT_TRUE(DesktopSetupHint::shared().text().isEmpty());
    ASSERT_TRUE(shell().activate(QStringLiteral("gamma-window")));
    ASSERT_TRUE(XDesktop::spinUntil([&] {
        const auto batch = backendController->sessionBatch()->appSessions();
        return !batch.isEmpty() && batch.last()->appName() == "gamma-window";
    }, shellWaitMs));
    backendTracker->stopObserving();
}

} // namespace
