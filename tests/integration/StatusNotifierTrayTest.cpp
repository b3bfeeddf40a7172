// The tray item as a StatusNotifierItem, the way Wayland desktops (and X11 panels without an
// XEmbed tray) show it. Qt's X11 and Wayland platforms both make a D-Bus tray icon when a
// StatusNotifierWatcher with a host is on the session bus; here that is a test watcher on a
// private bus, and the X11 platform on a private Xvfb shows the panel where the test can see it.
#include "ui/MenuPanel.h"
#include "ui/StatusItem.h"

#include "support/PrivateSessionBus.h"
#include "support/StatusNotifierWatcher.h"
#include "support/XDesktop.h"
#include "ui/UiFakes.h"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QScreen>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace hourloom::test {
namespace {

constexpr int loadedMachineBound = 30000;

// Everything the process shares: Qt decides once, when the first tray icon is made, whether
// tray icons go over D-Bus, from the session bus it finds then.
struct TrayDesktop {
    TrayDesktop()
    {
        if (!desktop.error().isEmpty() || !bus.error().isEmpty())
            return;
        qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
        qputenv("XDG_RUNTIME_DIR", home.path().toUtf8());
        qputenv("DISPLAY", desktop.display().toUtf8());
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8());
        qputenv("QT_QPA_PLATFORM", "xcb");
        // The desktop-independent platform theme: no desktop's own theme plugin decides.
        qputenv("QT_QPA_PLATFORMTHEME", "generic");
        qunsetenv("XDG_CURRENT_DESKTOP");
        qunsetenv("WAYLAND_DISPLAY");
        application = std::make_unique<QApplication>(argc, argv);
        QCoreApplication::setOrganizationName(QStringLiteral("Hourloom"));
        QCoreApplication::setApplicationName(QStringLiteral("Hourloom"));
        watcher = std::make_unique<StatusNotifierWatcher>(bus.address());
    }

    QString error() const
    {
        if (!desktop.error().isEmpty())
            return desktop.error();
        if (!bus.error().isEmpty())
            return bus.error();
        return watcher->error();
    }

    QTemporaryDir home;
    XDesktop desktop{XDesktop::WindowManager::none};
    PrivateSessionBus bus;
    int argc = 1;
    char program[32] = "tray_integration_tests";
    char *argv[2] = {program, nullptr};
    std::unique_ptr<QApplication> application;
    // Answers on an event loop of its own, which needs the application.
    std::unique_ptr<StatusNotifierWatcher> watcher;
};

// The images of an IconPixmap or a tooltip's icon: width, height and ARGB data each.
struct Image {
    int width = 0;
    int height = 0;
    QByteArray data;
};

QList<Image> readImages(const QDBusArgument &argument)
{
    QList<Image> images;
    argument.beginArray();
    while (!argument.atEnd()) {
        Image image;
        argument.beginStructure();
        argument >> image.width >> image.height >> image.data;
        argument.endStructure();
        images.append(image);
    }
    argument.endArray();
    return images;
}

class StatusNotifierTrayTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { shared = std::make_unique<TrayDesktop>(); }
    static void TearDownTestSuite() { shared.reset(); }

    void SetUp() override { ASSERT_TRUE(shared->error().isEmpty()) << shared->error().toStdString(); }

    // Calls the item the way a host does. The item answers on this thread's loop, which runs
    // until the answer arrives.
    QDBusMessage callItem(const QString &interface, const QString &method, const QVariantList &arguments)
    {
        QDBusMessage call = QDBusMessage::createMethodCall(itemService, itemPath, interface, method);
        call.setArguments(arguments);
        QDBusPendingCall pending = QDBusConnection::sessionBus().asyncCall(call, loadedMachineBound);
        XDesktop::spinUntil([&] { return pending.isFinished(); }, loadedMachineBound);
        return pending.reply();
    }
    QDBusMessage hostCalls(const QString &method) { return callItem(itemInterface, method, {0, 0}); }
    QDBusArgument property(const QString &name)
    {
        const QDBusMessage reply = callItem(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"), {itemInterface, name});
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << name.toStdString() << ": " << reply.errorMessage().toStdString();
        return reply.arguments().value(0).value<QDBusVariant>().variant().value<QDBusArgument>();
    }

    static inline std::unique_ptr<TrayDesktop> shared;
    const QString itemInterface = QStringLiteral("org.kde.StatusNotifierItem");
    QString itemService;
    QString itemPath;

    PanelHarness harness;
    FakeUpdater updater{true};
};

TEST_F(StatusNotifierTrayTest, RegistersWithTheWatcherAndActivationTogglesThePanelAtTheTopRightOfTheScreen)
{
    StatusItem item{harness.presentation, harness.userActivity, updater, harness.termination, harness.environment().openURL};
    item.show();
    ASSERT_TRUE(XDesktop::spinUntil([] { return !shared->watcher->registeredItems().isEmpty(); }, loadedMachineBound))
        << "the tray icon never registered with the watcher";
    ASSERT_EQ(shared->watcher->registeredItems().size(), 1);
    const QString registered = shared->watcher->registeredItems().constFirst();
    itemService = registered.section(u'/', 0, 0);
    itemPath = u'/' + registered.section(u'/', 1);

    // What the host draws: the icon of the stored login state, and the item's title.
    const QDBusArgument toolTip = property(QStringLiteral("ToolTip"));
    QString toolTipIcon, toolTipTitle, toolTipText;
    toolTip.beginStructure();
    toolTip >> toolTipIcon;
    readImages(toolTip);
    toolTip >> toolTipTitle >> toolTipText;
    toolTip.endStructure();
    EXPECT_EQ(toolTipTitle, QStringLiteral("Hourloom"));
    const QList<Image> loggedOutIcon = readImages(property(QStringLiteral("IconPixmap")));
    ASSERT_FALSE(loggedOutIcon.isEmpty()) << "a host would draw no icon";
    EXPECT_GT(loggedOutIcon.first().width, 0);
    EXPECT_EQ(loggedOutIcon.first().data.size(), qsizetype(loggedOutIcon.first().width) * loggedOutIcon.first().height * 4);
    UserDefaults::setBoolean(UserDefaults::loggedInKey, true);
    const QList<Image> loggedInIcon = readImages(property(QStringLiteral("IconPixmap")));
    ASSERT_FALSE(loggedInIcon.isEmpty());
    EXPECT_NE(loggedInIcon.first().data, loggedOutIcon.first().data) << "the host is not shown the login state";

    // A right click asks the host to show the context menu; it leaves the panel closed.
    EXPECT_EQ(hostCalls(QStringLiteral("ContextMenu")).type(), QDBusMessage::ReplyMessage);
    EXPECT_FALSE(item.panel().isVisible());

    const QDBusMessage opened = hostCalls(QStringLiteral("Activate"));
    ASSERT_EQ(opened.type(), QDBusMessage::ReplyMessage) << opened.errorMessage().toStdString();
    EXPECT_TRUE(item.panel().isVisible());
    EXPECT_TRUE(harness.presentation.isMenuPresented());

    // The item tells no position of its own, so the panel opens at the screen's top-right corner,
    // as the X server has it.
    QList<std::pair<QString, QRect>> panels;
    ASSERT_TRUE(XDesktop::spinUntil([&] { return !(panels = shared->desktop.windowsOfClass(QStringLiteral("^Hourloom$"))).isEmpty(); },
                                    loadedMachineBound))
        << "no panel window on the X server";
    const QRect panel = panels.first().second;
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(panel.right(), screen.right());
    EXPECT_EQ(panel.top(), screen.top());
    EXPECT_EQ(panel.size(), item.panel().size());

    // Activated again once the panel has the focus, the item closes it.
    ASSERT_TRUE(XDesktop::spinUntil([&] { return item.panel().isActiveWindow(); }, loadedMachineBound)) << "the panel never got the focus";
    const QDBusMessage closed = hostCalls(QStringLiteral("Activate"));
    ASSERT_EQ(closed.type(), QDBusMessage::ReplyMessage) << closed.errorMessage().toStdString();
    EXPECT_FALSE(item.panel().isVisible());
    EXPECT_FALSE(harness.presentation.isMenuPresented());
}

} // namespace
} // namespace hourloom::test

int main(int argc, char *argv[])
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
