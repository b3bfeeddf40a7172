#include "LoginView.h"

#include "Assets.h"
#include "LoginViewModel.h"
#include "PanelWidgets.h"
#include "PanelWork.h"

#include "core/Configuration.h"
#include "core/MenuPresentation.h"

#include <QAccessible>
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
    // Screen readers speak what the user sees; the object names identify the controls for tests.
    emailField_->setPlaceholderText(QStringLiteral("Email"));
    emailField_->setAccessibleName(QStringLiteral("Email"));
    emailField_->setObjectName(QStringLiteral("Email Input"));
    passwordField_->setPlaceholderText(QStringLiteral("Password"));
    passwordField_->setAccessibleName(QStringLiteral("Password"));
    passwordField_->setObjectName(QStringLiteral("Password Input"));
    passwordField_->setEchoMode(QLineEdit::Password);
    responseLine_->setObjectName(QStringLiteral("Log In Response Text"));
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
    connect(viewModel_, &LoginViewModel::responseTextChanged, this, &LoginView::showResponse);
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
    QPushButton *signUp = makeSignUpLink();
    column->addWidget(signUp, 0, Qt::AlignHCenter);
    chainTabOrder({minimizeButton_, quitButton_, emailField_, passwordField_, logInButton_, signUp});
}

void LoginView::focusFirstControl()
{
    (emailField_->text().isEmpty() ? emailField_ : passwordField_)->setFocus(Qt::ActiveWindowFocusReason);
}

QWidget *LoginView::makeHeader()
{
    auto *minimize = makeSymbolButton(Assets::minimizeSymbol(), QStringLiteral("Minimize"), QStringLiteral("Minimize App Button"), this);
    connect(minimize, &QToolButton::clicked, this, [this] { environment_.menuPresentation.setMenuPresented(false); });
    auto *quit = makeSymbolButton(Assets::quitSymbol(), QStringLiteral("Quit"), QStringLiteral("Quit App Button"), this);
    connect(quit, &QToolButton::clicked, this, [this] { environment_.work.quit(); });
    minimizeButton_ = minimize;
    quitButton_ = quit;

    auto *header = new QWidget(this);
    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->addStretch();
    row->addWidget(minimize);
    row->addWidget(quit);
    return header;
}

QPushButton *LoginView::makeSignUpLink()
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

void LoginView::showResponse(const QString &text)
{
    responseLine_->setText(text);
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    QAccessibleAnnouncementEvent announcement(responseLine_, text);
    QAccessible::updateAccessibility(&announcement);
#endif
}

void LoginView::updateLogInButton()
{
    // A button that disables itself while it has the focus would hand the focus on to whatever
    // comes next in the panel: typing stays in the form instead.
    const bool enabled = viewModel_->isFormValid() && !viewModel_->isLoggingIn();
    if (!enabled && logInButton_->hasFocus())
        passwordField_->setFocus(Qt::OtherFocusReason);
    logInButton_->setEnabled(enabled);
}

void LoginView::logInIfEnabled()
{
    if (logInButton_->isEnabled())
        viewModel_->logIn();
}

} // namespace hourloom
