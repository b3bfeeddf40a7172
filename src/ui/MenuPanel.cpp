#include "MenuPanel.h"

#include "MenuBarView.h"
#include "PanelAccessibles.h"
#include "PanelPlacement.h"

#include "core/MenuPresentation.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QWindow>
#include <QVBoxLayout>

#include <utility>

namespace hourloom {

MenuPanel::MenuPanel(MenuPresentation &menuPresentation, MenuBarView *content, Placement placement)
    : QWidget(nullptr, placement == Placement::besideTrayIcon ? Qt::Tool | Qt::FramelessWindowHint : Qt::Window)
    , menuPresentation_(menuPresentation)
    , content_(content)
    , placement_(placement)
{
    installPanelAccessibles();
    setWindowTitle(QStringLiteral("Hourloom"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(content);
    connect(&menuPresentation_, &MenuPresentation::isMenuPresentedChanged, this, &MenuPanel::present);
    present(menuPresentation_.isMenuPresented());
}

void MenuPanel::openAsked()
{
    nextShowTakesFocus_ = true;
    if (isVisible())
        takeFocus();
    else
        menuPresentation_.setMenuPresented(true);
}

void MenuPanel::openUnasked()
{
    if (isVisible())
        return;
    nextShowTakesFocus_ = false;
    menuPresentation_.setMenuPresented(true);
}

void MenuPanel::present(bool presented)
{
    if (presented == isVisible())
        return;
    if (!presented) {
        hide();
        return;
    }
    adjustSize();
    const QScreen *screen = QGuiApplication::screenAt(anchor_.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (placement_ == Placement::besideTrayIcon) {
        move(panelPosition(anchor_, size(), screen->availableGeometry()));
    } else if (!placed_) {
        // Where the user left an ordinary window, it opens again.
        move(screen->availableGeometry().center() - rect().center());
        placed_ = true;
    }
    const bool takesFocus = std::exchange(nextShowTakesFocus_, true);
    setAttribute(Qt::WA_ShowWithoutActivating, !takesFocus);
    // Qt hands the attribute to the platform only when it makes the native window: a panel shown
    // before would take the focus again. The platform reads this property at every show.
    if (QWindow *window = windowHandle())
        window->setProperty("_q_showWithoutActivating", !takesFocus);
    show();
    // On top also when it leaves the focus where it is: where it opens, the user must see it.
    raise();
    if (takesFocus)
        takeFocus();
}

void MenuPanel::takeFocus()
{
    raise();
    activateWindow();
    // The window manager activates the window in its own time; the focus goes in then.
    focusOnActivation_ = true;
    if (isActiveWindow())
        content_->focusFirstControl();
}

void MenuPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    menuPresentation_.setMenuPresented(true);
}

void MenuPanel::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // A focused text field keeps its cursor blinking (a timer firing twice a second) even in
    // a hidden window.
    if (QWidget *focused = focusWidget())
        focused->clearFocus();
    menuPresentation_.setMenuPresented(false);
}

void MenuPanel::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange)
        return;
    if (isActiveWindow()) {
        // Also a panel that opened by itself and that the user then clicked: typing goes into
        // the form, not nowhere.
        if (std::exchange(focusOnActivation_, false) || !focusWidget())
            content_->focusFirstControl();
        return;
    }
    // Beside the tray the panel behaves as a menu does: the user turning to another window
    // closes it. Its own menus keep it active.
    if (placement_ == Placement::besideTrayIcon)
        menuPresentation_.setMenuPresented(false);
}

void MenuPanel::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        menuPresentation_.setMenuPresented(false);
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace hourloom
