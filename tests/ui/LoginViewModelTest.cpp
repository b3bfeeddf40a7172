#include "ui/LoginViewModel.h"

#include "UiFakes.h"

#include <qcoro/qcorotask.h>

#include <gtest/gtest.h>

namespace hourloom::test {
namespace {

class LoginViewModelTest : public ::testing::Test {
protected:
    PanelHarness harness;
    FakeAuthController &auth = *harness.userActivity->auth;
    LoginViewModel viewModel{harness.userActivity};
};

TEST_F(LoginViewModelTest, FormIsValidFromThreeCharactersOfEmailAndEightOfPasswordAndOnlyChangesAreAnnounced)
{
    struct Case {
        QString username;
        QString password;
        bool valid;
    };
    const QString eAcute = QStringLiteral("e\u0301"); // two code points, one character
    const QString thumbsUp = QStringLiteral("\U0001F44D"); // a surrogate pair, one character
    const QList<Case> cases = {
        {QStringLiteral("ab"), QStringLiteral("a long enough password"), false},
        {QStringLiteral("abc"), QStringLiteral("1234567"), false},
        {QStringLiteral("abc"), QStringLiteral("12345678"), true},
        {QStringLiteral("a b"), QStringLiteral("1234 678"), true},
        {eAcute + eAcute, QStringLiteral("12345678"), false},
        {eAcute + eAcute + eAcute, QStringLiteral("12345678"), true},
        {QStringLiteral("abc"), thumbsUp.repeated(7), false},
        {QStringLiteral("abc"), thumbsUp.repeated(8), true},
    };
    for (const Case &c : cases) {
        viewModel.setUsername(c.username);
        viewModel.setPassword(c.password);
        EXPECT_EQ(viewModel.isFormValid(), c.valid) << c.username.toStdString() << " / " << c.password.toStdString();
    }

    // Only changes of validity are announced.
    viewModel.setUsername(QString());
    QList<bool> announced;
    QObject::connect(&viewModel, &LoginViewModel::isFormValidChanged, [&](bool valid) { announced.append(valid); });
    viewModel.setUsername(QStringLiteral("abc"));
    viewModel.setPassword(QStringLiteral("12345678"));
    viewModel.setPassword(QStringLiteral("123456789"));
    viewModel.setUsername(QStringLiteral("ab"));
    EXPECT_EQ(announced, (QList<bool>{true, false}));
}

TEST_F(LoginViewModelTest, FailureShowsItsTextAsItIsAndALaterSuccessKeepsItAndStoresThePastedEmailWithoutWhiteSpace)
{
    viewModel.setUsername(QStringLiteral(" ada@example.org\r\n"));
    viewModel.setPassword(QStringLiteral("wrong password"));
    auth.nextResult = AuthResult::decodingFailure(QStringLiteral("The data couldn't be read because it isn't in the correct format."));
    QCoro::waitFor(viewModel.logIn());
    EXPECT_EQ(viewModel.responseText(), QStringLiteral("The data couldn't be read because it isn't in the correct format."));
    auth.nextResult = AuthResult::failure(AuthenticationError::invalidLoginDetails);
    QCoro::waitFor(viewModel.logIn());
    EXPECT_EQ(viewModel.responseText(), QStringLiteral("Invalid login details"));
    EXPECT_FALSE(UserDefaults::boolean(UserDefaults::loggedInKey));
    EXPECT_EQ(UserDefaults::string(UserDefaults::userNameKey), std::nullopt);

    viewModel.setPassword(QStringLiteral("right password"));
    auth.nextResult = AuthResult::success(QStringLiteral("Successfully logged in"));
    QCoro::waitFor(viewModel.logIn());
    EXPECT_EQ(viewModel.responseText(), QStringLiteral("Invalid login details"));
    EXPECT_EQ(UserDefaults::string(UserDefaults::userNameKey), QStringLiteral("ada@example.org"));
    EXPECT_TRUE(auth.loggedIn());
    ASSERT_EQ(auth.logIns.size(), 3);
    EXPECT_EQ(auth.logIns[2].password, QStringLiteral("right password"));
    EXPECT_EQ(auth.logIns[2].username, QStringLiteral("ada@example.org"));
}

TEST_F(LoginViewModelTest, ASecondLoginWhileOneRunsIsIgnoredAndSuccessIsAppliedEvenWhenTheScreenWentAway)
{
    auth.gate.close();
    auto first = viewModel.logIn();
    EXPECT_TRUE(viewModel.isLoggingIn());
    auto second = viewModel.logIn();
    EXPECT_EQ(auth.logIns.size(), 1);

    auth.gate.open();
    QCoro::waitFor(std::move(first));
    QCoro::waitFor(std::move(second));
    EXPECT_FALSE(viewModel.isLoggingIn());
    EXPECT_TRUE(auth.loggedIn());

    // A success is applied even when the screen went away meanwhile.
    auth.setLoggedIn(false);
    auth.gate.close();
    auto *doomed = new LoginViewModel(harness.userActivity);
    doomed->setUsername(QStringLiteral("ada@example.org"));
    auto login = doomed->logIn();
    delete doomed;
    auth.gate.open();
    QCoro::waitFor(std::move(login));
    EXPECT_EQ(UserDefaults::string(UserDefaults::userNameKey), QStringLiteral("ada@example.org"));
    EXPECT_TRUE(auth.loggedIn());
}

} // namespace
} // namespace hourloom::test
