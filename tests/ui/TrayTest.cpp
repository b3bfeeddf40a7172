#include "ui/CheckForUpdatesView.h"
#include "ui/MenuBarView.h"
#include "ui/MenuPanel.h"
#include "ui/PanelPlacement.h"
#include "ui/StatusItem.h"

#include "UiFakes.h"

#include "ui/Assets.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSystemTrayIcon>
#include <QTest>

#include <gtest/gtest.h>

namespace hourloom::test {
namespace {

TEST(PanelPlacementTest, UnderTheIconInsideTheScreenOrTopRightWithoutAnIcon)
{
    const QRect screen(0, 24, 1280, 776); // a 24-pixel top bar
    const QSize panel(280, 400);
    EXPECT_EQ(panelPosition(QRect(600, 0, 24, 24), panel, screen), QPoint(472, 24));
    EXPECT_EQ(panelPosition(QRect(1250, 0, 24, 24), panel, screen), QPoint(1000, 24)) << "kept inside on the right";
    EXPECT_EQ(panelPosition(QRect(4, 0, 24, 24), panel, screen), QPoint(0, 24)) << "kept inside on the left";
    EXPECT_EQ(panelPosition(QRect(600, 776, 24, 24), panel, QRect(0, 0, 1280, 776)), QPoint(472, 376)) << "above a bottom tray";
    EXPECT_EQ(panelPosition(QRect(), panel, screen), QPoint(1000, 24));
}

TEST(MenuPanelTest, VisibilityAndFlagFollowEachOtherAndHidingTakesTheFocusAway)
{
    PanelHarness harness;
    MenuPanel panel{harness.presentation, new MenuBarView(harness.environment(), false)};
    auto *field = findByIdentifier<QLineEdit>(panel, QStringLiteral("Email Input"));
    harness.presentation.setMenuPresented(true);
    EXPECT_TRUE(panel.isVisible());
    field->setFocus();
    ASSERT_EQ(panel.focusWidget(), field);
    harness.presentation.setMenuPresented(false);
    EXPECT_FALSE(panel.isVisible());
    EXPECT_EQ(panel.focusWidget(), nullptr); // so that no cursor blinks in the hidden panel
    EXPECT_FALSE(field->hasFocus());

    panel.show();
    EXPECT_TRUE(harness.presentation.isMenuPresented());
    panel.close(); // what the window manager's close does
    EXPECT_FALSE(harness.presentation.isMenuPresented());
}

class StatusItemTest : public ::testing::Test {
protected:
    static QImage picture(const QIcon &icon) { return icon.pixmap(32, 32).toImage(); }
    QSystemTrayIcon &trayIcon() { return *item.findChild<QSystemTrayIcon *>(); }

    QWidget *focused() const { return QApplication::focusWidget(); }
    void workElsewhere()
    {
        elsewhere.show();
        elsewhere.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&elsewhere));
    }
    QWidget *control(const char *identifier) const { return findByIdentifier(item.panel(), QLatin1String(identifier)); }

    PanelHarness harness;
    FakeUpdater updater{true};
    StatusItem item{harness.presentation, harness.userActivity, updater, harness.termination, harness.environment().openURL};
    QWidget elsewhere;
};

// The title, and that the icons differ and activation toggles the panel, as a tray host sees
// them: StatusNotifierTrayTest in tests/integration.
TEST_F(StatusItemTest, TheIconIsTheOneOfTheStoredLoginStateAndTheContextMenuChecksForUpdates)
{
    EXPECT_EQ(picture(trayIcon().icon()), picture(Assets::statusBarIcon(false)));
    UserDefaults::setBoolean(UserDefaults::loggedInKey, true);
    EXPECT_EQ(picture(trayIcon().icon()), picture(Assets::statusBarIcon(true)));
    UserDefaults::setBoolean(UserDefaults::loggedInKey, false);
    EXPECT_EQ(picture(trayIcon().icon()), picture(Assets::statusBarIcon(false)));

    QAction *check = trayIcon().contextMenu()->actions().value(0);
    ASSERT_NE(check, nullptr);
    check->trigger();
    EXPECT_EQ(updater.checks, 1);
}

TEST_F(StatusItemTest, TheUserOpensThePanelWithTheFocusWhereTypingGoesFirstAndEscapeClosesIt)
{
    emit trayIcon().activated(QSystemTrayIcon::Trigger);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&item.panel()));
    emit trayIcon().activated(QSystemTrayIcon::Context);
    EXPECT_TRUE(item.panel().isVisible()) << "a right click closed the panel";
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "the panel grabs keyboard and mouse";
    EXPECT_EQ(focused(), control("Email Input"));
    QTest::keyClicks(focused(), QStringLiteral("ada@example.org"));
    QTest::keyClick(focused(), Qt::Key_Escape);
    EXPECT_FALSE(item.panel().isVisible());

    // The user works elsewhere and comes back. Email filled in: typing goes to Password. Logged
    // in: the settings menu.
    workElsewhere();
    item.openPanel();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&item.panel()));
    EXPECT_EQ(focused(), control("Password Input"));
    harness.presentation.setMenuPresented(false);
    UserDefaults::setBoolean(UserDefaults::loggedInKey, true);
    workElsewhere();
    item.openPanel();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&item.panel()));
    EXPECT_EQ(focused(), control("Settings Button"));

    // Logged out from the settings menu before the focus came back from it: the form takes it.
    focused()->clearFocus();
    UserDefaults::setBoolean(UserDefaults::loggedInKey, false);
    EXPECT_EQ(focused(), control("Email Input"));
}

TEST(TraylessStatusItemTest, TheFirstStartOpensThePanelSayingHowToComeBack)
{
    PanelHarness harness;
    FakeUpdater updater{true};
    UserDefaults::remove(QStringLiteral("OpenedWithoutTray"));
    StatusItem item{harness.presentation, harness.userActivity, updater, harness.termination, harness.environment().openURL,
                    MenuPanel::Placement::ordinaryWindow};
    item.show();
    ASSERT_TRUE(item.panel().isVisible());
    EXPECT_TRUE(findByIdentifier<QLabel>(item.panel(), QStringLiteral("Come Back Hint"))->isVisibleTo(&item.panel()));
    harness.presentation.setMenuPresented(false);
}

TEST(CheckForUpdatesTest, FollowsTheUpdaterFromTheStart)
{
    FakeUpdater updater(true);
    CheckForUpdatesView view(updater);
    EXPECT_EQ(view.text(), QStringLiteral("Check for Updates\u2026"));
    EXPECT_TRUE(view.isEnabled());

    updater.setCanCheck(false);
    EXPECT_FALSE(view.isEnabled());
    view.trigger(); // a disabled action does nothing
    EXPECT_EQ(updater.checks, 0);

    updater.setCanCheck(true);
    view.trigger();
    EXPECT_EQ(updater.checks, 1);

    FakeUpdater busy(false);
    EXPECT_FALSE(CheckForUpdatesView(busy).isEnabled());
}

} // namespace
} // namespace hourloom::test
