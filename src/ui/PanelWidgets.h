#pragma once

#include <QString>

#include <initializer_list>

class QFrame;
class QIcon;
class QLabel;
class QPushButton;
class QToolButton;
class QWidget;

namespace hourloom {

// The small pieces both panel screens are built from, so the two look alike.

// A borderless button showing only a symbol. `spokenName` is what a sighted user reads from the
// symbol (its tooltip) and what a screen reader speaks; `identifier` names it for tests and
// automation (the object name).
QToolButton *makeSymbolButton(const QIcon &icon, const QString &spokenName, const QString &identifier, QWidget *parent);
// A borderless text button that reads as a link.
QPushButton *makeLinkButton(const QString &text, QWidget *parent);
// "HourloomLogo" at the panel's width, identified as "Hourloom Logo".
QLabel *makeLogo(QWidget *parent);
QFrame *makeSeparator(QWidget *parent);
// Tab and Shift-Tab visit the controls in the order given: the order they appear on screen.
void chainTabOrder(std::initializer_list<QWidget *> controls);

} // namespace hourloom
