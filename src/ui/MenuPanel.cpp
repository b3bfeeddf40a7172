#include "MenuPanel.h"

#include "PanelPlacement.h"

#include "core/MenuPresentation.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>

namespace hourloom {

MenuPanel::MenuPanel(MenuPresentation &menuPresentation, QWidget *content)
    : QWidget(nullptr, Qt::Popup | Qt::FramelessWindowHint)
    , menuPresentation_(menuPresentation)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(content);
    connect(&menuPresentation_, &MenuPresentation::isMenuPresentedChanged, this, &MenuPanel::present);
    present(menuPresentation_.isMenuPresented());
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
    move(panelPosition(anchor_, size(), screen->availableGeometry()));
    show();
    activateWindow();
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

void MenuPanel::mousePressEvent(QMouseEvent *event)
{
    // A press on the tray icon closes the panel; replaying it to the icon would activate the
    // icon and open the panel again at once.
    if (!rect().contains(event->position().toPoint()) && anchor_.contains(event->globalPosition().toPoint()))
        setAttribute(Qt::WA_NoMouseReplay);
    QWidget::mousePressEvent(event);
}

} // namespace hourloom
