// Tracking on a real GNOME Shell (headless, Wayland, with Xwayland) through the agent's shell
// extension: the shared scenarios, and the extension turned off. One shell serves every test of
// this process.
#include "DesktopTracking.h"

#include "core/DesktopSetupHint.h"
#include "core/Log.h"
#include "platform/desktops/BackendAttempt.h"
#include "platform/desktops/gnome/GnomeBackend.h"
#include "platform/desktops/gnome/GnomeExtensionInstaller.h"
#include "platform/desktops/gnome/GnomeShellExtension.h"

#include "support/GnomeShell.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QTextStream>

using namespace hourloom;
using namespace hourloom::test;

namespace {

[[maybe_unused]] auto *const desktop = ::testing::AddGlobalTestEnvironment(new DesktopOnce<GnomeShell>);
INSTANTIATE_TEST_SUITE_P(Gnome, DesktopScenarios, ::testing::Values(DesktopOnce<GnomeShell>::underTest("Gnome")));

// A parameterised suite of its own, so that it runs after the shared scenarios (DesktopScenarios.cpp
// comes first in the program's sources): a workspace started the moment after the extension was
// turned off and on has once seen no focus for half a minute, and the scenarios must not depend
// on how soon after this test they start.
class GnomeTracking : public DesktopTest<GnomeShell>, public ::testing::WithParamInterface<DesktopUnderTest> {
protected:
    void TearDown() override
    {
        DesktopTest::TearDown();
        // A test that turned the extension off and failed leaves it on for the next one.
        if (driver().error().isEmpty() && !GnomeShell::isExtensionRunning()) {
            driver().gsettings({QStringLiteral("set"), QStringLiteral("org.gnome.shell"), QStringLiteral("disable-user-extensions"), QStringLiteral("false")});
            driver().gsettings({QStringLiteral("set"), QStringLiteral("org.gnome.shell"), QStringLiteral("enabled-extensions"),
                                GnomeExtensionInstaller::formatStringList({GnomeShellExtension::uuid})});
            waitFor([] { return GnomeShell::isExtensionRunning(); });
        }
        DesktopSetupHint::shared().setText({});
    }
};

TEST_P(GnomeTracking, WithoutTheExtensionTheUserIsToldHowToEnableItAndTrackingStartsOnceItRuns)
{
    EXPECT_TRUE(driver().installOutput().contains(QLatin1String("Copied the GNOME Shell extension"))) << driver().installOutput().toStdString();
    // The user turns the extension off (keeping another one on), and every extension with the
    // switch for them all: the shell drops it at once.
    const auto setting = [](const char *key, const QString &value = {}) {
        QStringList arguments{value.isNull() ? QStringLiteral("get") : QStringLiteral("set"), QStringLiteral("org.gnome.shell"), QString::fromLatin1(key)};
        if (!value.isNull())
            arguments << value;
        return driver().gsettings(arguments).value_or(QStringLiteral("(failed)"));
    };
    ASSERT_EQ(setting("enabled-extensions", QStringLiteral("['other@example.org']")), "");
    ASSERT_EQ(setting("disabled-extensions", QStringLiteral("['hourloom@hourloom.org', 'off@example.org']")), "");
    ASSERT_EQ(setting("disable-user-extensions", QStringLiteral("true")), "");
    ASSERT_TRUE(waitFor([] { return !GnomeShell::isExtensionRunning(); }));

    // The agent starts on this desktop: the backend starts, says what to run, and the panel shows it.
    std::optional<LogCapture> capture(std::in_place);
    const BackendAttempt attempt = startGnomeBackend(center, driver().clientEnvironment());
    const std::string said = capture->standardOutput().toStdString();
    capture.reset();
    ASSERT_TRUE(attempt.backend.has_value()) << attempt.whyNot.toStdString();
    EXPECT_NE(said.find("--install-gnome-extension"), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_TRUE(DesktopSetupHint::shared().text().contains(QLatin1String("--install-gnome-extension")));

    // Tracking starts and finds nothing frontmost yet.
    ASSERT_NO_FATAL_FAILURE(track(*attempt.backend));
    tracker->recordFrontmostApplication(*controller);
    tracker->startObserving(controller, true);
    EXPECT_TRUE(sessions().isEmpty());

    // The command the user was told enables it again, leaving the switch for every extension as
    // the user set it and saying how to turn it back; once they do, tracking begins with what has
    // the focus.
    QString installed;
    QTextStream out(&installed);
    EXPECT_TRUE(GnomeExtensionInstaller(QStringLiteral(GNOME_EXTENSION_BUNDLE)).install(out, out));
    out.flush();
    EXPECT_TRUE(installed.endsWith(QLatin1String("; to switch them on: gsettings set org.gnome.shell disable-user-extensions false\n")))
        << installed.toStdString();
    EXPECT_EQ(setting("disable-user-extensions"), "true");
    EXPECT_EQ(setting("enabled-extensions"), "['other@example.org', 'hourloom@hourloom.org']");
    EXPECT_EQ(setting("disabled-extensions"), "['off@example.org']");
    ASSERT_EQ(setting("disable-user-extensions", QStringLiteral("false")), "");
    ASSERT_TRUE(waitFor([&] { return !sessions().isEmpty(); }));
    EXPECT_TRUE(DesktopSetupHint::shared().text().isEmpty());
    ASSERT_TRUE(switchTo(window(2)));
}

// Receives what another program on the user's bus would.
class Eavesdropper : public QObject {
    Q_OBJECT
public:
    int heard = 0;
public Q_SLOTS:
    void focusChanged(const QDBusMessage &) { ++heard; }
};

TEST_P(GnomeTracking, NoOtherProgramLearnsWhatHasTheFocusWhileTheAgentTracks)
{
    ASSERT_NO_FATAL_FAILURE(track());
    ASSERT_NO_FATAL_FAILURE(startIn(window(0)));
    QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("other"));
    Eavesdropper eavesdropper;
    ASSERT_TRUE(other.connect({}, {}, GnomeShellExtension::interface, QStringLiteral("FocusChanged"), &eavesdropper, SLOT(focusChanged(QDBusMessage))));
    // It cannot ask under either of the shell's names, nor take the agent's place.
    for (const QString &name : {GnomeShellExtension::busName, QStringLiteral("org.gnome.Shell")}) {
        const QDBusMessage asked = other.call(QDBusMessage::createMethodCall(name, GnomeShellExtension::objectPath, GnomeShellExtension::interface, QStringLiteral("GetFocus")));
        EXPECT_EQ(asked.type(), QDBusMessage::ErrorMessage) << name.toStdString() << ": " << asked.arguments().value(0).toString().toStdString();
    }
    const QDBusMessage registered = other.call(QDBusMessage::createMethodCall(GnomeShellExtension::busName, GnomeShellExtension::objectPath,
                                                                               GnomeShellExtension::interface, QStringLiteral("Register")));
    EXPECT_EQ(registered.type(), QDBusMessage::ErrorMessage);

    // The agent still sees every switch; the other program hears of none: a call of its own that
    // the shell answered after the switch comes after anything the shell sent it before.
    ASSERT_TRUE(switchTo(window(1)));
    ASSERT_TRUE(switchTo(window(2)));
    other.call(QDBusMessage::createMethodCall(GnomeShellExtension::busName, GnomeShellExtension::objectPath, QStringLiteral("org.freedesktop.DBus.Peer"),
                                              QStringLiteral("Ping")));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(eavesdropper.heard, 0);
    QDBusConnection::disconnectFromBus(QStringLiteral("other"));
}

INSTANTIATE_TEST_SUITE_P(Gnome, GnomeTracking, ::testing::Values(DesktopOnce<GnomeShell>::underTest("Gnome")));

} // namespace

#include "GnomeTrackingTest.moc"
