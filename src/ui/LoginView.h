#pragma once

#include "PanelEnvironment.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace hourloom {

class LoginViewModel;

// The panel's content while nobody is logged in: e-mail and password, the Log In button with
// the last failure under it, a sign-up link, and buttons that close the panel or quit.
class LoginView : public QWidget {
    Q_OBJECT
public:
    explicit LoginView(PanelEnvironment environment, QWidget *parent = nullptr);

    LoginViewModel &viewModel() const { return *viewModel_; }

    // Puts the keyboard focus where typing goes first: Email while it is empty, else Password.
    void focusFirstControl();

private:
    QWidget *makeHeader();
    QPushButton *makeSignUpLink();
    // A screen reader speaks each new result line as it appears.
    void showResponse(const QString &text);
    void updateLogInButton();
    // Return in either field acts as the Log In button would, and only when it is enabled.
    void logInIfEnabled();

    PanelEnvironment environment_;
    LoginViewModel *viewModel_;
    QLineEdit *emailField_;
    QLineEdit *passwordField_;
    QPushButton *logInButton_;
    QLabel *responseLine_;
    QWidget *minimizeButton_ = nullptr;
    QWidget *quitButton_ = nullptr;
};

} // namespace hourloom
