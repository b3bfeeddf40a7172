#include "LoginView.h"

#include "Assets.h"
#include "LoginViewModel.h"
#include "PanelWidgets.h"

#include "core/Configuration.h"
#include "core/MenuPresentation.h"
#include "core/ports/TerminationProtocol.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace hourloom {

LoginView::LoginView(PanelEnvironment environment, QWidget *parent)
    : QWidget(parent)
    , environment_(std::move(environment))
    , viewModel_(new LoginViewModel(environment_.userActivityController, this))
    , emailField_(new QLineEdit(this))
    , passwordField_(new QLineEdit(this))
    , logInButton_(new QPushButton(QStringLiteral("Log In"), this))
    , responseLine_(new QLabel(this))
{
    emailField_->setPlaceholderText(QStringLiteral("Email"));
    emailField_->setAccessibleName(QStringLiteral("Email Input"));
    passwordField_->setPlaceholderText(QStringLiteral("Password"));
    passwordField_->setAccessibleName(QStringLiteral("Password Input"));
    passwordField_->setEchoMode(QLineEdit::Password);
    responseLine_->setAccessibleName(QStringLiteral("Log In Response Text"));
    responseLine_->setTextFormat(Qt::PlainText);
    responseLine_->setWordWrap(true);
    responseLine_->setAlignment(Qt::AlignCenter);

    connect(emailField_, &QLineEdit::textChanged, viewModel_, &LoginViewModel::setUsername);
    connect(passwordField_, &QLineEdit::textChanged, viewModel_, &LoginViewModel::setPassword);
    connect(emailField_, &QLineEdit::returnPressed, this, &LoginView::logInIfEnabled);
    connect(passwordField_, &QLineEdit::returnPressed, this, &LoginView::logInIfEnabled);
    connect(logInButton_, &QPushButton::clicked, viewModel_, &LoginViewModel::logIn);
    connect(viewModel_, &LoginViewModel::isFormValidChanged, this, &LoginView::updateLogInButton);
    connect(viewModel_, &LoginViewModel::isLoggingInChanged, this, &LoginView::updateLogInButton);
    connect(viewModel_, &LoginViewModel::responseTextChanged, responseLine_, &QLabel::setText);
    responseLine_->setText(viewModel_->responseText());
    updateLogInButton();

    auto *form = new QVBoxLayout;
    form->addWidget(emailField_);
    form->addWidget(passwordField_);
    form->addWidget(logInButton_);
    form->addWidget(responseLine_);

    auto *column = new QVBoxLayout(this);
    column->addWidget(makeHeader());
    column->addWidget(makeLogo(this), 0, Qt::AlignHCenter);
    column->addWidget(makeSeparator(this));
    column->addLayout(form);
    column->addWidget(makeSeparator(this));
    column->addWidget(makeSignUpLink(), 0, Qt::AlignHCenter);
}

QWidget *LoginView::makeHeader()
{
    auto *minimize = makeSymbolButton(Assets::minimizeSymbol(), QStringLiteral("Minimize App Button"), this);
    connect(minimize, &QToolButton::clicked, this, [this] { environment_.menuPresentation.setMenuPresented(false); });
    auto *quit = makeSymbolButton(Assets::quitSymbol(), QStringLiteral("Quit App Button"), this);
    connect(quit, &QToolButton::clicked, this, [this] { environment_.termination.requestTermination(); });

    auto *header = new QWidget(this);
    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->addStretch();
    row->addWidget(minimize);
    row->addWidget(quit);
    return header;
}

QWidget *LoginView::makeSignUpLink()
{
    auto *link = makeLinkButton(QStringLiteral("No account? Sign up here"), this);
    QFont caption = link->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    link->setFont(caption);
    QPalette blue = link->palette();
    blue.setColor(QPalette::ButtonText, QColor(0x1a, 0x73, 0xe8));
    link->setPalette(blue);
    connect(link, &QPushButton::clicked, this, [this] {
        environment_.openURL(Configuration::rootURL());
        environment_.menuPresentation.setMenuPresented(false);
    });
    return link;
}

void LoginView::updateLogInButton()
{
    logInButton_->setEnabled(viewModel_->isFormValid() && !viewModel_->isLoggingIn());
}

void LoginView::logInIfEnabled()
{
    if (logInButton_->isEnabled())
        viewModel_->logIn();
}

} // namespace hourloom
