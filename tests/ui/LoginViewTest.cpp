#include "ui/LoginView.h"

#include "UiFakes.h"

#include "core/Configuration.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace hourloom::test {
namespace {

class LoginViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        harness.presentation.setMenuPresented(true);
        view.show();
        ASSERT_TRUE(email && password && logInButton && responseLine);
    }

    void type(const QString &emailText, const QString &passwordText)
    {
        QTest::keyClicks(email, emailText);
        QTest::keyClicks(password, passwordText);
    }

    PanelHarness harness;
    FakeAuthController &auth = *harness.userActivity->auth;
    LoginView view{harness.environment()};
    QLineEdit *email = findByIdentifier<QLineEdit>(view, QStringLiteral("Email Input"));
    QLineEdit *password = findByIdentifier<QLineEdit>(view, QStringLiteral("Password Input"));
    QPushButton *logInButton = buttonWithText(view, QStringLiteral("Log In"));
    QLabel *responseLine = findByIdentifier<QLabel>(view, QStringLiteral("Log In Response Text"));
};

TEST_F(LoginViewTest, LogInIsEnabledAndReturnInEitherFieldLogsInOnlyForAValidForm)
{
    EXPECT_FALSE(logInButton->isEnabled());
    type(QStringLiteral("ab"), QStringLiteral("12345678"));
    EXPECT_FALSE(logInButton->isEnabled());
    QTest::keyClick(password, Qt::Key_Return);
    QTest::keyClicks(email, QStringLiteral("c"));
    EXPECT_TRUE(logInButton->isEnabled());
    QTest::keyClick(password, Qt::Key_Backspace);
    EXPECT_FALSE(logInButton->isEnabled());
    QTest::keyClick(password, Qt::Key_Return);
    QTest::keyClick(email, Qt::Key_Return);
    EXPECT_TRUE(auth.logIns.isEmpty());

    auth.nextResult = AuthResult::failure(AuthenticationError::networkConnectionFailure);
    QTest::keyClicks(password, QStringLiteral("8"));
    QTest::keyClick(password, Qt::Key_Return);
    ASSERT_EQ(auth.logIns.size(), 1);
    EXPECT_EQ(auth.logIns[0].username, QStringLiteral("abc"));
    EXPECT_EQ(auth.logIns[0].password, QStringLiteral("12345678"));

    QTest::keyClick(email, Qt::Key_Enter);
    EXPECT_EQ(auth.logIns.size(), 2);
}

TEST_F(LoginViewTest, LogInIsDisabledWhileALoginRunsAndTheFailureTextStaysUnderItWithTheTypedValues)
{
    auth.gate.close();
    auth.nextResult = AuthResult::failure(AuthenticationError::networkConnectionFailure);
    type(QStringLiteral("ada@example.org"), QStringLiteral("12345678"));
    QTest::mouseClick(logInButton, Qt::LeftButton);
    EXPECT_FALSE(logInButton->isEnabled());
    QTest::keyClick(password, Qt::Key_Return);
    EXPECT_EQ(auth.logIns.size(), 1);

    auth.gate.open();
    EXPECT_TRUE(logInButton->isEnabled());
    EXPECT_EQ(responseLine->text(), QStringLiteral("Couldn't connect to the server. Is your internet working?"));
    EXPECT_EQ(email->text(), QStringLiteral("ada@example.org"));
    EXPECT_EQ(password->text(), QStringLiteral("12345678"));

    auth.nextResult = AuthResult::success(QStringLiteral("Successfully logged in"));
    QTest::mouseClick(logInButton, Qt::LeftButton);
    EXPECT_EQ(responseLine->text(), QStringLiteral("Couldn't connect to the server. Is your internet working?"));
}

TEST_F(LoginViewTest, TabFollowsTheScreenAndLogInKeepsTheFocusInTheForm)
{
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    type(QStringLiteral("abc"), QStringLiteral("12345678"));
    findByIdentifier(view, QStringLiteral("Minimize App Button"))->setFocus();
    QStringList visited;
    for (int step = 0; step < 6; ++step) {
        QWidget *focused = QApplication::focusWidget();
        const auto *pushButton = qobject_cast<QPushButton *>(focused);
        visited.append(pushButton ? pushButton->text() : focused->objectName());
        QTest::keyClick(focused, Qt::Key_Tab);
    }
    EXPECT_EQ(visited, (QStringList{"Minimize App Button", "Quit App Button", "Email Input", "Password Input", "Log In", "No account? Sign up here"}));

    // Log In disables itself while the login runs; Space must not reach a header button then.
    auth.gate.close();
    logInButton->setFocus();
    QTest::keyClick(logInButton, Qt::Key_Space);
    ASSERT_EQ(auth.logIns.size(), 1);
    EXPECT_EQ(QApplication::focusWidget(), password);
    auth.gate.open();
}

TEST_F(LoginViewTest, SignUpOpensTheRootURLAndTheHeaderButtonsCloseThePanelOrAskToQuit)
{
    EXPECT_NE(findByIdentifier(view, QStringLiteral("Hourloom Logo")), nullptr);
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    // What a screen reader speaks is what the user sees; the result line speaks its own text.
    EXPECT_EQ(email->accessibleName(), email->placeholderText());
    EXPECT_EQ(password->accessibleName(), password->placeholderText());
    EXPECT_EQ(responseLine->accessibleName(), QString());

    QTest::mouseClick(buttonWithText(view, QStringLiteral("No account? Sign up here")), Qt::LeftButton);
    EXPECT_EQ(harness.openedURLs, QList<QUrl>{Configuration::rootURL()});
    EXPECT_FALSE(harness.presentation.isMenuPresented());

    harness.presentation.setMenuPresented(true);
    QTest::mouseClick(findByIdentifier<QToolButton>(view, QStringLiteral("Minimize App Button")), Qt::LeftButton);
    EXPECT_FALSE(harness.presentation.isMenuPresented());
    EXPECT_EQ(harness.termination.requests, 0);

    QTest::mouseClick(findByIdentifier<QToolButton>(view, QStringLiteral("Quit App Button")), Qt::LeftButton);
    EXPECT_EQ(harness.termination.requests, 1);
    EXPECT_EQ(harness.work.status(), QStringLiteral("Sending the time tracked so far, then quitting\u2026"));
    EXPECT_EQ(harness.userActivity->logOuts, 0);
    EXPECT_EQ(harness.openedURLs.size(), 1);
}

} // namespace
} // namespace hourloom::test
