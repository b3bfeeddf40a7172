#include "MenuBarView.h"

#include "AccountView.h"
#include "LoginView.h"

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
    , setupHint_(new QLabel(this))
{
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSizeConstraint(QLayout::SetFixedSize);
    // The hint names a command: the user copies it from here.
    setupHint_->setTextFormat(Qt::PlainText);
    setupHint_->setWordWrap(true);
    setupHint_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    setupHint_->setContentsMargins(8, 8, 8, 0);
    setupHint_->setFixedWidth(panelWidth);
    layout_->addWidget(setupHint_);
    showSetupHint();
    connect(&DesktopSetupHint::shared(), &DesktopSetupHint::changed, this, &MenuBarView::showSetupHint);
    UserDefaults::setBoolean(UserDefaults::loggedInKey, loggedIn);
    showContent();
    connect(&UserDefaults::notifier(), &UserDefaultsNotifier::changed, this, [this](const QString &key) {
        if (key == UserDefaults::loggedInKey)
            showContent();
    });
}

void MenuBarView::showSetupHint()
{
    setupHint_->setText(DesktopSetupHint::shared().text());
    setupHint_->setVisible(!setupHint_->text().isEmpty());
}

void MenuBarView::showContent()
{
    const bool loggedIn = UserDefaults::boolean(UserDefaults::loggedInKey);
    if (content_ && loggedIn == showingLoggedIn_)
        return;
    showingLoggedIn_ = loggedIn;
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
    layout_->addWidget(content_);
    content_->show();
}

} // namespace hourloom
