#pragma once

#include <QString>
#include <QToolButton>

#include <initializer_list>

class QFrame;
class QIcon;
class QLabel;
class QMenu;
class QPushButton;
class QToolButton;
class QWidget;

namespace hourloom {

// The button makeMenuButton makes: a class of its own, so that its accessible is ours.
class MenuButton : public QToolButton {
    Q_OBJECT
public:
    using QToolButton::QToolButton;
};

// The small pieces both panel screens are built from, so the two look alike.

// A borderless button showing only a symbol. `spokenName` is what a sighted user reads from the
// symbol (its tooltip) and what a screen reader speaks; `identifier` names it for tests and
// automation (the object name).
QToolButton *makeSymbolButton(const QIcon &icon, const QString &spokenName, const QString &identifier, QWidget *parent);
// A symbol button that opens `menu` at once when pressed. Screen readers find the menu's entries
// as the button's children (see PanelAccessibles.h).
QToolButton *makeMenuButton(const QIcon &icon, const QString &spokenName, const QString &identifier, QMenu *menu, QWidget *parent);
// A borderless text button that reads as a link.
QPushButton *makeLinkButton(const QString &text, QWidget *parent);
// "HourloomLogo" at the panel's width, identified as "Hourloom Logo".
QLabel *makeLogo(QWidget *parent);
QFrame *makeSeparator(QWidget *parent);
// Tab and Shift-Tab visit the controls in the order given: the order they appear on screen.
void chainTabOrder(std::initializer_list<QWidget *> controls);

} // namespace hourloom
