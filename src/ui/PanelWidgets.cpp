#include "PanelWidgets.h"

#include "Assets.h"

#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

namespace hourloom {

namespace {

QToolButton *styleSymbolButton(QToolButton *button, const QIcon &icon, const QString &spokenName, const QString &identifier)
{
    button->setIcon(icon);
    button->setIconSize(QSize(20, 20));
    button->setAutoRaise(true);
    button->setAccessibleName(spokenName);
    button->setToolTip(spokenName);
    button->setObjectName(identifier);
    return button;
}

} // namespace

QToolButton *makeSymbolButton(const QIcon &icon, const QString &spokenName, const QString &identifier, QWidget *parent)
{
    return styleSymbolButton(new QToolButton(parent), icon, spokenName, identifier);
}

QToolButton *makeMenuButton(const QIcon &icon, const QString &spokenName, const QString &identifier, QMenu *menu, QWidget *parent)
{
    QToolButton *button = styleSymbolButton(new MenuButton(parent), icon, spokenName, identifier);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
    // Owned by the button, so that screen readers find the button as the menu's parent.
    menu->setParent(button, menu->windowFlags());
    button->setMenu(menu);
    return button;
}

QPushButton *makeLinkButton(const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

QLabel *makeLogo(QWidget *parent)
{
    auto *logo = new QLabel(parent);
    logo->setPixmap(Assets::logo(180));
    logo->setAccessibleName(QStringLiteral("Hourloom"));
    logo->setObjectName(QStringLiteral("Hourloom Logo"));
    logo->setContentsMargins(8, 8, 8, 8);
    return logo;
}

QFrame *makeSeparator(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

void chainTabOrder(std::initializer_list<QWidget *> controls)
{
    QWidget *previous = nullptr;
    for (QWidget *control : controls) {
        if (previous)
            QWidget::setTabOrder(previous, control);
        previous = control;
    }
}

} // namespace hourloom
