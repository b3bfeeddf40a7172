#include "MenuBarView.h"

#include "AccountView.h"
#include "LoginView.h"
#include "PanelWork.h"

#include "core/Configuration.h"
#include "core/DesktopSetupHint.h"
#include "core/UserDefaults.h"

#include <QLabel>
#include <QVBoxLayout>

namespace hourloom {
namespace {

// Both screens share one width, so the panel keeps its place when it switches.
constexpr int panelWidth = 280;

} // namespace

MenuBarView::MenuBarView(PanelEnvironment environment, bool loggedIn, QWidget *parent)
    : QWidget(parent)
    , environment_(std::move(environment))
    , layout_(new QVBoxLayout(this))
    , setupHint_(addLine(QStringLiteral("Setup Hint")))
    , comeBackHint_(addLine(QStringLiteral("Come Back Hint")))
    , workLine_(addLine(QStringLiteral("Work In Progress")))
{
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSizeConstraint(QLayout::SetFixedSize);
    // The hint names a command: the user copies it from here.
    setupHint_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    comeBackHint_->hide();
    showSetupHint();
    connect(&DesktopSetupHint::shared(), &DesktopSetupHint::changed, this, &MenuBarView::showSetupHint);
    showWork(environment_.work.status());
    connect(&environment_.work, &PanelWork::statusChanged, this, &MenuBarView::showWork);
    UserDefaults::setBoolean(UserDefaults::loggedInKey, loggedIn);
    showContent();
    connect(&UserDefaults::notifier(), &UserDefaultsNotifier::changed, this, [this](const QString &key) {
        if (key == UserDefaults::loggedInKey)
            showContent();
    });
}

QLabel *MenuBarView::addLine(const QString &identifier)
{
    auto *line = new QLabel(this);
    line->setObjectName(identifier);
    line->setTextFormat(Qt::PlainText);
    line->setWordWrap(true);
    line->setContentsMargins(8, 8, 8, 0);
    line->setFixedWidth(panelWidth);
    layout_->addWidget(line);
    return line;
}

void MenuBarView::showComeBackHint()
{
    comeBackHint_->setText(QStringLiteral("This desktop shows no tray icon: start Hourloom again from your applications to come back here."));
    comeBackHint_->show();
}

void MenuBarView::showSetupHint()
{
    setupHint_->setText(DesktopSetupHint::shared().text());
    setupHint_->setVisible(!setupHint_->text().isEmpty());
}

void MenuBarView::showWork(const QString &status)
{
    workLine_->setText(status);
    workLine_->setVisible(!status.isEmpty());
}

void MenuBarView::focusFirstControl()
{
    if (auto *login = qobject_cast<LoginView *>(content_))
        login->focusFirstControl();
    else if (auto *account = qobject_cast<AccountView *>(content_))
        account->focusFirstControl();
}

void MenuBarView::showContent()
{
    const bool loggedIn = UserDefaults::boolean(UserDefaults::loggedInKey);
    if (content_ && loggedIn == showingLoggedIn_)
        return;
    showingLoggedIn_ = loggedIn;
    // The panel's own window, not the focus, says whether the user is in it: after Log Out in the
    // settings menu the focus may still be on its way back from the closing menu.
    const bool userInPanel = content_ && isActiveWindow();
    if (content_) {
        // The old screen may be the one whose code changed "loggedIn" (the login form's
        // coroutine, a menu entry): it is deleted once that code has returned.
        layout_->removeWidget(content_);
        content_->hide();
        content_->deleteLater();
    }
    if (loggedIn)
        content_ = new AccountView(environment_, Configuration::shortVersion(), this);
    else
        content_ = new LoginView(environment_, this);
    content_->setFixedWidth(panelWidth);
    layout_->insertWidget(2, content_);
    content_->show();
    // The keyboard user who logged in or out stays in the panel, on the new screen's first control.
    if (userInPanel)
        focusFirstControl();
}

} // namespace hourloom
