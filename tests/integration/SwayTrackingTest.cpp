// Tracking on a real headless sway: the agent's own Wayland connection, the compositor's list of
// toplevel windows and its idle notices, wired to the session batch controller as the agent
// wires them.
#include "core/Log.h"
#include "core/MainLoopTimer.h"
#include "model/AppSession.h"
#include "platform/desktops/entries/DesktopEntryIndex.h"
#include "platform/desktops/wayland/WaylandConnection.h"
#include "platform/desktops/wayland/WaylandIdleNotifier.h"
#include "platform/desktops/PlatformBackend.h"
#include "platform/desktops/wlroots/WlrootsWorkspace.h"
#include "tracking/AppSwitchTracker.h"
#include "tracking/IdleTimeController.h"
#include "tracking/IdleTimeTracker.h"
#include "tracking/SessionBatchController.h"

#include "support/DesktopTrackingTest.h"
#include "support/SwayDesktop.h"
#include "support/XDesktop.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <gtest/gtest.h>

using namespace hourloom;
using hourloom::test::SwayDesktop;
using hourloom::test::XDesktop;

namespace {

const QString alpha = QStringLiteral("hourloom-alpha");
const QString beta = QStringLiteral("org.hourloom.Beta");
const QString gamma = QStringLiteral("gamma-tool");

void writeEntry(const QTemporaryDir &dataHome, const QString &path, const QByteArray &contents)
{
    QFile entry(dataHome.filePath(QStringLiteral("applications/") + path));
    entry.open(QIODevice::WriteOnly);
    entry.write("[Desktop Entry]\nType=Application\nExec=foot\n" + contents);
}

// A pointer device of the test's own on the compositor's seat, as a mouse would be.
class VirtualPointer {
public:
    explicit VirtualPointer(WaylandConnection &connection)
        : connection_(connection)
        , manager_(static_cast<zwlr_virtual_pointer_manager_v1 *>(connection.bind(zwlr_virtual_pointer_manager_v1_interface, 1)))
        , seat_(static_cast<wl_seat *>(connection.bind(wl_seat_interface, 1)))
    {
        if (manager_ && seat_)
            pointer_ = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager_, seat_);
    }
    ~VirtualPointer()
    {
        if (pointer_)
            zwlr_virtual_pointer_v1_destroy(pointer_);
        if (seat_)
            wl_seat_destroy(seat_);
        if (manager_)
            zwlr_virtual_pointer_manager_v1_destroy(manager_);
    }

    bool isValid() const { return pointer_ != nullptr; }
    // The left button pressed and released where the pointer is.
    void click()
    {
        constexpr uint32_t leftButton = 0x110; // BTN_LEFT
        for (const auto state : {WL_POINTER_BUTTON_STATE_PRESSED, WL_POINTER_BUTTON_STATE_RELEASED}) {
            zwlr_virtual_pointer_v1_button(pointer_, 0, leftButton, state);
            zwlr_virtual_pointer_v1_frame(pointer_);
        }
        connection_.flush();
    }
    void move(double dx, double dy)
    {
        zwlr_virtual_pointer_v1_motion(pointer_, 0, wl_fixed_from_double(dx), wl_fixed_from_double(dy));
        zwlr_virtual_pointer_v1_frame(pointer_);
        connection_.flush();
    }

private:
    WaylandConnection &connection_;
    zwlr_virtual_pointer_manager_v1 *manager_;
    wl_seat *seat_;
    zwlr_virtual_pointer_v1 *pointer_ = nullptr;
};

class SwayTracking : public DesktopTrackingTest {
protected:
    static void SetUpTestSuite()
    {
        // Desktop entries of our own, found the way the user's entries are: by the app id, by a
        // reverse-DNS id, and by StartupWMClass as an Xwayland window's class would be.
        dataHome = new QTemporaryDir;
        QDir(dataHome->path()).mkpath(QStringLiteral("applications/hourloom"));
        writeEntry(*dataHome, QStringLiteral("hourloom-alpha.desktop"), "Name=Alpha Terminal\n");
        writeEntry(*dataHome, QStringLiteral("org.hourloom.Beta.desktop"), "Name=Beta Terminal\n");
        writeEntry(*dataHome, QStringLiteral("hourloom/gamma.desktop"), "Name=Gamma Tool\nStartupWMClass=gamma-tool\n");
        qputenv("XDG_DATA_HOME", dataHome->path().toUtf8());

        sway = new SwayDesktop;
        if (!sway->error().isEmpty())
            return;
        for (const QString &appId : {gamma, beta, alpha})
            windowsOpen = sway->openWindow(appId) && windowsOpen;
        // sway activates a new window once it has drawn: let that settle before the tests make
        // their own switches.
        windowsOpen = windowsOpen && XDesktop::spinUntil([] { return sway->focusedAppId() == alpha; });
        XDesktop::spinFor(500);
    }

    static void TearDownTestSuite()
    {
        delete sway;
        sway = nullptr;
        delete dataHome;
    }

    void SetUp() override
    {
        // A compositor that cannot start is a failure of this test, not a reason to skip it.
        ASSERT_TRUE(sway->error().isEmpty()) << sway->error().toStdString();
        ASSERT_TRUE(windowsOpen);
        connection = WaylandConnection::open(sway->clientEnvironment());
        ASSERT_NE(connection, nullptr);
        workspace = WlrootsWorkspace::watch(connection, DesktopEntryIndex::fromSystem(), center);
        ASSERT_NE(workspace, nullptr);
        observe(workspace);
    }

    // The controller as the agent makes it, with the compositor's idle notice after the threshold.
    void startController(double idleThreshold)
    {
        idleNotifier = WaylandIdleNotifier::watch(connection, idleThreshold);
        ASSERT_NE(idleNotifier, nullptr);
        control(idleNotifier, idleNotifier);
        idle->minIdleTime = idleThreshold;
    }

    // Tracking started as the agent starts it, with the Alpha terminal focused.
    void startTrackingInAlpha()
    {
        ASSERT_TRUE(sway->focus(alpha));
        ASSERT_TRUE(XDesktop::spinUntil([&] { return frontmostName() == "Alpha Terminal"; }));
        tracker->recordFrontmostApplication(*controller);
        tracker->startObserving(controller, true);
        ASSERT_EQ(lastName(), "Alpha Terminal");
    }

    QString frontmostName()
    {
        connection->roundtrip();
        const auto frontmost = workspace->frontmostApplication();
        return frontmost ? frontmost->localizedName.value_or(QString()) : QString();
    }

    bool focusAndWait(const QString &appId, const QString &expectedName)
    {
        return sway->focus(appId) && XDesktop::spinUntil([&] { return lastName() == expectedName; });
    }

    // Everything the compositor had sent has been handled, and every posted activation delivered.
    void settle()
    {
        connection->roundtrip();
        QCoreApplication::sendPostedEvents();
    }

    static inline QTemporaryDir *dataHome = nullptr;
    static inline SwayDesktop *sway = nullptr;
    static inline bool windowsOpen = true;

    std::shared_ptr<WaylandConnection> connection;
    std::shared_ptr<WlrootsWorkspace> workspace;
    std::shared_ptr<WaylandIdleNotifier> idleNotifier;
};

TEST_F(SwayTracking, EverySwitchOfApplicationLandsInTheBatchInOrderWithItsNameAndId)
{
    startController(3600);
    controller->minSessionDuration = 0;
    startTrackingInAlpha();
    settle();
    int activations = 0;
    center.addObserver(didActivateApplicationNotification, [&](const Notification &) { ++activations; });

    ASSERT_TRUE(focusAndWait(beta, "Beta Terminal"));
    ASSERT_TRUE(focusAndWait(gamma, "Gamma Tool"));
    ASSERT_TRUE(focusAndWait(alpha, "Alpha Terminal"));

    const AppSessionList batch = sessions();
    ASSERT_EQ(batch.size(), 4);
    // By the app id itself; by a reverse-DNS id; by StartupWMClass, in a sub-folder.
    EXPECT_EQ(batch[0]->bundleIdentifier(), "hourloom-alpha");
    EXPECT_EQ(batch[1]->bundleIdentifier(), "org.hourloom.Beta");
    EXPECT_EQ(batch[2]->bundleIdentifier(), "hourloom-gamma");
    EXPECT_EQ(batch[3]->bundleIdentifier(), "hourloom-alpha");
    for (qsizetype i = 0; i + 1 < batch.size(); ++i)
        EXPECT_FALSE(batch[i]->isActive());
    EXPECT_TRUE(batch[3]->isActive());

    // An empty workspace (no window active) and coming back to the same application are no switches.
    ASSERT_FALSE(sway->swaymsg({QStringLiteral("workspace"), QStringLiteral("9")}).isEmpty());
    ASSERT_TRUE(XDesktop::spinUntil([&] { return sway->focusedAppId().isEmpty(); }));
    settle();
    ASSERT_FALSE(sway->swaymsg({QStringLiteral("workspace"), QStringLiteral("1")}).isEmpty());
    ASSERT_TRUE(XDesktop::spinUntil([&] { return sway->focusedAppId() == alpha; }));
    settle();
    EXPECT_EQ(sessions().size(), 4);
    EXPECT_TRUE(sessions().last()->isActive());
    EXPECT_EQ(activations, 3);
}

TEST_F(SwayTracking, AQuickDetourWithinTheMinimumMergesIntoTheEarlierSession)
{
    startController(3600);
    controller->minSessionDuration = 3;
    startTrackingInAlpha();
    const auto first = sessions().value(0);
    ASSERT_NE(first, nullptr);
    XDesktop::spinFor(3500); // long enough to be kept

    ASSERT_TRUE(focusAndWait(beta, "Beta Terminal"));
    ASSERT_TRUE(sway->focus(alpha));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return sessions().size() == 1 && controller->sessionBatch()->appSwitchingCount() == 1; }))
        << sessions().size() << " sessions, " << controller->sessionBatch()->appSwitchingCount() << " dropped, last " << lastName().toStdString();
    EXPECT_EQ(sessions().first(), first);
    EXPECT_TRUE(first->isActive());
}

TEST_F(SwayTracking, IdlenessEndsTheSessionFocusWhileAwayIsNoReturnAndTypingIs)
{
    startController(0.3);
    idle->idlePollingInterval = 0.1;
    controller->minSessionDuration = 0;
    startTrackingInAlpha();
    const auto session = sessions().value(0);
    ASSERT_NE(session, nullptr);

    ASSERT_TRUE(XDesktop::spinUntil([&] { return idle->isIdle; }));
    EXPECT_FALSE(session->isActive());
    EXPECT_TRUE(idle->resumeFromIdleTracker.has_value());
    EXPECT_EQ(idle->timer, nullptr);
    const QDateTime idleEnd = session->endTime().value();

    // A window comes forward while the user is away: focus is not input, and nothing opens.
    ASSERT_TRUE(sway->focus(beta));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return frontmostName() == "Beta Terminal"; }));
    settle();
    EXPECT_TRUE(idle->isIdle);
    EXPECT_EQ(sessions(), AppSessionList{session});
    EXPECT_EQ(session->endTime(), idleEnd);

    // The user types: back, in the application that is frontmost now.
    ASSERT_TRUE(sway->type(QStringLiteral("hello")));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !idle->isIdle; }));
    EXPECT_FALSE(idle->resumeFromIdleTracker.has_value());
    ASSERT_EQ(sessions().size(), 2);
    EXPECT_EQ(sessions().last()->appName(), "Beta Terminal");
    EXPECT_TRUE(sessions().last()->isActive());
    EXPECT_EQ(session->endTime(), idleEnd);

    // The new session restarted the poll: idle again, and typing ends it again.
    ASSERT_TRUE(XDesktop::spinUntil([&] { return idle->isIdle; }));
    EXPECT_FALSE(sessions().last()->isActive());
    ASSERT_TRUE(sway->type(QStringLiteral("again")));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !idle->isIdle; }));
    EXPECT_TRUE(sessions().last()->isActive());
}

TEST_F(SwayTracking, TheAgentChoosesTheWlrootsBackendOnSway)
{
    ASSERT_TRUE(sway->focus(beta));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return sway->focusedAppId() == beta; }));
    std::optional<LogCapture> capture(std::in_place);
    const PlatformBackend backend = PlatformBackend::forDesktop(center, sway->clientEnvironment());
    // The desktops tried before (no KWin, no GNOME Shell here) may say why they cannot start.
    const std::string said = capture->standardOutput().toStdString();
    capture.reset();
    EXPECT_EQ(said.find("wlroots"), std::string::npos) << said;
    EXPECT_EQ(said.find("not supported"), std::string::npos) << said;
    const auto frontmost = backend.workspace->frontmostApplication();
    ASSERT_TRUE(frontmost.has_value());
    EXPECT_EQ(frontmost->localizedName, "Beta Terminal");
    EXPECT_EQ(frontmost->bundleIdentifier, "org.hourloom.Beta");
    // Idle seconds and the first input come from the compositor's idle notice.
    EXPECT_NE(std::dynamic_pointer_cast<WaylandIdleNotifier>(backend.eventSource), nullptr);
    EXPECT_EQ(backend.eventSource, std::dynamic_pointer_cast<EventSourceProtocol>(backend.eventTracker));
}

TEST_F(SwayTracking, TheIdleNoticeStartsTheIdleSecondsAtTheThresholdAndAnyInputEndsThem)
{
    EXPECT_TRUE(connection->global(QStringLiteral("org_kde_kwin_idle")).has_value());
    const auto notifier = WaylandIdleNotifier::watch(connection, 0.3);
    ASSERT_NE(notifier, nullptr);
    // sway 1.7 offers only KDE's protocol.
    EXPECT_EQ(notifier->protocol(), "org_kde_kwin_idle");
    int returns = 0;
    const auto token = notifier->addGlobalMonitorForEvents(IdleTimeController::resumeEventMask, [&](const InputEvent &) { ++returns; });
    ASSERT_TRUE(token.has_value());

    ASSERT_TRUE(XDesktop::spinUntil([&] { return notifier->isIdle(); }));
    EXPECT_GE(notifier->secondsSinceLastEventType(1, 0xFFFFFFFF), 0.3);
    EXPECT_EQ(returns, 0);

    ASSERT_TRUE(sway->type(QStringLiteral("x")));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return returns > 0; }));
    EXPECT_EQ(returns, 1);
    EXPECT_FALSE(notifier->isIdle());

    // The notice is armed again: the next pause is noticed too, and a pointer move ends it.
    VirtualPointer pointer(*connection);
    ASSERT_TRUE(pointer.isValid());
    ASSERT_TRUE(XDesktop::spinUntil([&] { return notifier->isIdle(); }));
    pointer.move(5, 5);
    ASSERT_TRUE(XDesktop::spinUntil([&] { return returns == 2; }));

    // The compositor does not say what the input was: a click alone is a return as well.
    notifier->removeMonitor(*token);
    ASSERT_TRUE(XDesktop::spinUntil([&] { return notifier->isIdle(); }));
    pointer.click();
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !notifier->isIdle(); }));
    EXPECT_EQ(returns, 2);
}

TEST_F(SwayTracking, AConnectionToNoCompositorIsRefusedAndALostOneAnswersNothing)
{
    QProcessEnvironment nowhere;
    EXPECT_EQ(WaylandConnection::open(nowhere), nullptr);
    nowhere.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-none"));
    EXPECT_EQ(WaylandConnection::open(nowhere), nullptr); // relative, and no runtime folder
    nowhere.insert(QStringLiteral("XDG_RUNTIME_DIR"), QStringLiteral("/nonexistent"));
    EXPECT_EQ(WaylandConnection::socketPath(nowhere), QStringLiteral("/nonexistent/wayland-none"));
    EXPECT_EQ(WaylandConnection::open(nowhere), nullptr);

    ASSERT_TRUE(sway->focus(alpha));
    ASSERT_TRUE(XDesktop::spinUntil([&] { return frontmostName() == "Alpha Terminal"; }));
    int told = 0;
    connection->addLostHandler([&] { ++told; });
    const auto notifier = WaylandIdleNotifier::watch(connection, 60);
    ASSERT_NE(notifier, nullptr);
    // A protocol error ends the connection for good, as the compositor going away does: here,
    // binding a global under a name it does not have.
    const auto seat = connection->global(QStringLiteral("wl_seat")).value();
    wl_registry *registry = wl_display_get_registry(connection->display());
    ASSERT_NE(wl_registry_bind(registry, seat.name + 1000, &wl_seat_interface, 1), nullptr);
    EXPECT_FALSE(connection->roundtrip());
    EXPECT_FALSE(connection->isAlive());
    EXPECT_FALSE(connection->roundtrip());
    EXPECT_EQ(told, 1);
    EXPECT_FALSE(workspace->frontmostApplication().has_value());
    EXPECT_EQ(notifier->secondsSinceLastEventType(1, 0xFFFFFFFF), 0);
    EXPECT_FALSE(notifier->addGlobalMonitorForEvents(IdleTimeController::resumeEventMask, [](const InputEvent &) {}).has_value());
}

} // namespace
