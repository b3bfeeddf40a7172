#include "LoginViewModel.h"

#include "UserPerceivedLength.h"

#include "core/UserDefaults.h"
#include "auth/AuthControllerProtocol.h"
#include "upload/UserActivityControllerProtocol.h"

#include <QPointer>

namespace hourloom {

LoginViewModel::LoginViewModel(std::shared_ptr<UserActivityControllerProtocol> userActivityController, QObject *parent)
    : QObject(parent)
    , authController_(userActivityController->authController())
    , userActivityController_(std::move(userActivityController))
{
    if (authController_->sessionExpired())
        responseText_ = sessionExpiredText();
}

QString LoginViewModel::sessionExpiredText()
{
    return QStringLiteral("Your session has expired. Log in again to send the time tracked meanwhile.");
}

void LoginViewModel::setUsername(const QString &username)
{
    if (username == username_)
        return;
    const bool wasValid = isFormValid();
    username_ = username;
    emit usernameChanged(username_);
    updateFormValidity(wasValid);
}

void LoginViewModel::setPassword(const QString &password)
{
    if (password == password_)
        return;
    const bool wasValid = isFormValid();
    password_ = password;
    emit passwordChanged(password_);
    updateFormValidity(wasValid);
}

bool LoginViewModel::isFormValid() const
{
    return userPerceivedLength(username_) >= 3 && userPerceivedLength(password_) >= 8;
}

QCoro::Task<void> LoginViewModel::logIn()
{
    if (loggingIn_)
        co_return;
    setLoggingIn(true);

    // Copies: the login screen (and with it this object) goes away as soon as the user counts
    // as logged in, and may go while the exchange is under way.
    const QPointer<LoginViewModel> self(this);
    // A pasted address may bring a line break or spaces along that nobody sees in the field.
    const QString username = username_.trimmed();
    const auto authController = authController_;
    const AuthResult result = co_await authController->logIn(username, password_, userActivityController_);

    if (self) {
        self->setLoggingIn(false);
        if (!result.isSuccess())
            self->setResponseText(result.text());
    }
    if (!result.isSuccess())
        co_return;
    UserDefaults::setString(UserDefaults::userNameKey, username);
    authController->setLoggedIn(true);
}

void LoginViewModel::setResponseText(const QString &text)
{
    if (text == responseText_)
        return;
    responseText_ = text;
    emit responseTextChanged(responseText_);
}

void LoginViewModel::setLoggingIn(bool loggingIn)
{
    loggingIn_ = loggingIn;
    emit isLoggingInChanged(loggingIn_);
}

void LoginViewModel::updateFormValidity(bool wasValid)
{
    const bool valid = isFormValid();
    if (valid != wasValid)
        emit isFormValidChanged(valid);
}

} // namespace hourloom
