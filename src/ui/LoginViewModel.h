#pragma once

#include <QObject>
#include <QString>

#include <qcoro/qcorotask.h>

#include <memory>

namespace hourloom {

class AuthControllerProtocol;
class UserActivityControllerProtocol;

// The login form's state: the typed e-mail and password, whether they may be sent, and the
// last failure's text. Lives on the main loop; the login's result is applied there too.
class LoginViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString username READ username WRITE setUsername NOTIFY usernameChanged)
    Q_PROPERTY(QString password READ password WRITE setPassword NOTIFY passwordChanged)
    Q_PROPERTY(QString responseText READ responseText NOTIFY responseTextChanged)
    Q_PROPERTY(bool isFormValid READ isFormValid NOTIFY isFormValidChanged)
    Q_PROPERTY(bool isLoggingIn READ isLoggingIn NOTIFY isLoggingInChanged)
public:
    // Logs in through the scheduler's own login controller. After the service refused the stored
    // login, responseText starts with a line that says so.
    explicit LoginViewModel(std::shared_ptr<UserActivityControllerProtocol> userActivityController, QObject *parent = nullptr);

    const QString &username() const { return username_; }
    void setUsername(const QString &username);
    const QString &password() const { return password_; }
    void setPassword(const QString &password);
    const QString &responseText() const { return responseText_; }
    static QString sessionExpiredText();

    // At least 3 characters of e-mail and 8 of password, counted as the user sees them.
    bool isFormValid() const;
    // True from the start of a login until its result has been applied.
    bool isLoggingIn() const { return loggingIn_; }

    // Sends the typed values, the e-mail without white space around it. A failure's text goes
    // to responseText; a success stores that e-mail under "UserName" and marks the user logged
    // in, leaving responseText as it was.
    // Does nothing while an earlier login is still running: the login controller serves one
    // login at a time.
    QCoro::Task<void> logIn();

signals:
    void usernameChanged(const QString &username);
    void passwordChanged(const QString &password);
    void responseTextChanged(const QString &responseText);
    void isFormValidChanged(bool isFormValid);
    void isLoggingInChanged(bool isLoggingIn);

private:
    void setResponseText(const QString &text);
    void setLoggingIn(bool loggingIn);
    void updateFormValidity(bool wasValid);

    QString username_;
    QString password_;
    QString responseText_;
    bool loggingIn_ = false;
    std::shared_ptr<AuthControllerProtocol> authController_;
    std::shared_ptr<UserActivityControllerProtocol> userActivityController_;
};

} // namespace hourloom
