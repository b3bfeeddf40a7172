#include "ui/AccountView.h"
#include "ui/ElidedLabel.h"
#include "ui/LoginView.h"
#include "ui/LoginViewModel.h"
#include "ui/MenuBarView.h"

#include "UiFakes.h"

#include "core/DesktopSetupHint.h"

#include <QLabel>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace hourloom::test {
namespace {

bool showsText(const QWidget &root, const QString &text)
{
    for (const QLabel *label : root.findChildren<QLabel *>())
        if (label->text() == text)
            return true;
    return false;
}

QAction *settingsEntry(const QWidget &root, const QString &text)
{
    const auto *settings = findByIdentifier<QToolButton>(root, QStringLiteral("Settings Button"));
    return settings ? entryWithText(settings->menu(), text) : nullptr;
}

TEST(MenuBarViewTest, StoresTheGivenLoginStateShowsItsScreenSwitchesScreensAsItChangesAndShowsWhatTheDesktopNeedsAboveEither)
{
    PanelHarness harness;
    MenuBarView loggedIn(harness.environment(), true);
    EXPECT_TRUE(UserDefaults::boolean(UserDefaults::loggedInKey));
    EXPECT_NE(qobject_cast<AccountView *>(loggedIn.content()), nullptr);
    const QString hint = QStringLiteral("To track applications on GNOME, run: hourloom --install-gnome-extension");
    DesktopSetupHint::shared().setText(hint);
    MenuBarView view(harness.environment(), false);
    EXPECT_FALSE(UserDefaults::boolean(UserDefaults::loggedInKey));
    auto *loginView = qobject_cast<LoginView *>(view.content());
    ASSERT_NE(loginView, nullptr);
    ASSERT_TRUE(view.setupHint()->isVisibleTo(&view));
    EXPECT_EQ(view.setupHint()->text(), hint);

    // A login through the form itself replaces the form with the account view; the hint stays,
    // and goes the moment the desktop needs nothing more.
    loginView->viewModel().setUsername(QStringLiteral("ada@example.org"));
    QCoro::waitFor(loginView->viewModel().logIn());
    ASSERT_NE(qobject_cast<AccountView *>(view.content()), nullptr);
    EXPECT_TRUE(showsText(*view.content(), QStringLiteral("ada@example.org")));
    EXPECT_TRUE(view.setupHint()->isVisibleTo(&view));
    DesktopSetupHint::shared().setText({});
    EXPECT_FALSE(view.setupHint()->isVisibleTo(&view));
    EXPECT_FALSE(showsText(view, hint));
    DesktopSetupHint::shared().setText(hint);
    EXPECT_TRUE(view.setupHint()->isVisibleTo(&view));
    DesktopSetupHint::shared().setText({});

    QAction *logOut = settingsEntry(*view.content(), QStringLiteral("Log Out"));
    ASSERT_NE(logOut, nullptr);
    EXPECT_NE(settingsEntry(*view.content(), QStringLiteral("Quit")), nullptr);
    logOut->trigger();
    EXPECT_EQ(harness.userActivity->logOuts, 1);
    EXPECT_NE(qobject_cast<AccountView *>(view.content()), nullptr) << "the scheduler, not the menu, ends the login";

    UserDefaults::setBoolean(UserDefaults::loggedInKey, false);
    EXPECT_NE(qobject_cast<LoginView *>(view.content()), nullptr);
}

TEST(MenuBarViewTest, ShowsWhatALogOutOrAQuitDoesWhileItWaitsOnTheServiceAndOneLogOutRunsAtATime)
{
    PanelHarness harness;
    MenuBarView view(harness.environment(), true);
    const auto *line = findByIdentifier<QLabel>(view, QStringLiteral("Work In Progress"));
    ASSERT_NE(line, nullptr);
    EXPECT_FALSE(line->isVisibleTo(&view));

    harness.userActivity->logOutGate.close();
    settingsEntry(*view.content(), QStringLiteral("Log Out"))->trigger();
    EXPECT_TRUE(line->isVisibleTo(&view));
    EXPECT_EQ(line->text(), QStringLiteral("Sending the time tracked so far, then logging out\u2026"));
    settingsEntry(*view.content(), QStringLiteral("Log Out"))->trigger();
    EXPECT_EQ(harness.userActivity->logOuts, 1);
    auto finished = harness.work.logOutFinished();
    EXPECT_FALSE(finished.isReady()) << "the agent could end under the log-out";

    harness.userActivity->logOutGate.open();
    EXPECT_TRUE(QTest::qWaitFor([&] { return finished.isReady(); }));
    EXPECT_FALSE(line->isVisibleTo(&view));

    settingsEntry(*view.content(), QStringLiteral("Quit"))->trigger();
    EXPECT_EQ(line->text(), QStringLiteral("Sending the time tracked so far, then quitting\u2026"));
    EXPECT_TRUE(line->isVisibleTo(&view));
}

class AccountViewTest : public ::testing::Test {
protected:
    PanelHarness harness;
};

TEST_F(AccountViewTest, ShowsTheShortVersionOrUnknownTheStoredUserNameOrUserAndASettingsMenuWithLogOutAndQuit)
{
    const AccountView versioned(harness.environment(), QStringLiteral("1.4.2"));
    EXPECT_TRUE(showsText(versioned, QStringLiteral("v 1.4.2")));
    const AccountView view(harness.environment(), std::nullopt);
    EXPECT_TRUE(showsText(view, QStringLiteral("v Unknown")));
    EXPECT_TRUE(showsText(view, QStringLiteral("User")));
    UserDefaults::setString(UserDefaults::userNameKey, QStringLiteral("ada@example.org"));
    EXPECT_TRUE(showsText(view, QStringLiteral("ada@example.org")));
    EXPECT_FALSE(showsText(view, QStringLiteral("User")));
    EXPECT_NE(findByIdentifier(view, QStringLiteral("Hourloom Logo")), nullptr);

    // The settings menu offers Log Out and Quit, which goes through the termination request.
    QStringList entries;
    for (const QAction *action : findByIdentifier<QToolButton>(view, QStringLiteral("Settings Button"))->menu()->actions())
        entries.append(action->text());
    ASSERT_EQ(entries, (QStringList{QStringLiteral("Log Out"), QStringLiteral("Quit")}));
    harness.presentation.setMenuPresented(true);
    settingsEntry(view, QStringLiteral("Quit"))->trigger();
    EXPECT_EQ(harness.termination.requests, 1);
    EXPECT_EQ(harness.userActivity->logOuts, 0);
    EXPECT_TRUE(harness.presentation.isMenuPresented());
}

TEST_F(AccountViewTest, ALongUserNameEndsInAnEllipsisAndShowsWholeOnHoverAndLinksOpenTheirPageAndCloseThePanel)
{
    const QString name = QStringLiteral("a.very.long.name.of.someone.at.work@departments.example.org");
    UserDefaults::setString(UserDefaults::userNameKey, name);
    AccountView view(harness.environment(), std::nullopt);
    view.setFixedWidth(280);
    view.show();
    const auto *label = view.findChild<ElidedLabel *>();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), name) << "a screen reader does not hear the whole name";
    const QString shown = label->shownText();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("\u2026"))) << shown.toStdString();
    EXPECT_TRUE(name.startsWith(shown.chopped(1)));
    EXPECT_LE(label->fontMetrics().horizontalAdvance(shown), label->contentsRect().width());
    EXPECT_EQ(label->toolTip(), name);

    QPushButton *accountLink = buttonWithText(view, QStringLiteral("127.0.0.1:8787"));
    ASSERT_NE(accountLink, nullptr);

    harness.presentation.setMenuPresented(true);
    QTest::mouseClick(accountLink, Qt::LeftButton);
    EXPECT_FALSE(harness.presentation.isMenuPresented());

    harness.presentation.setMenuPresented(true);
    QTest::mouseClick(findByIdentifier<QToolButton>(view, QStringLiteral("Open Help Page")), Qt::LeftButton);
    EXPECT_FALSE(harness.presentation.isMenuPresented());

    EXPECT_EQ(harness.openedURLs,
              (QList<QUrl>{QUrl(QStringLiteral("http://127.0.0.1:8787")), QUrl(QStringLiteral("http://127.0.0.1:8787/guides/troubleshooting"))}));
}

} // namespace
} // namespace hourloom::test
