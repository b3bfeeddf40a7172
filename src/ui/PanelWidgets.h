#pragma once

#include <QString>

class QFrame;
class QIcon;
class QLabel;
class QPushButton;
class QToolButton;
class QWidget;

namespace hourloom {

// The small pieces both panel screens are built from, so the two look alike.

// A borderless button showing only a symbol; the name is what assistive tools announce.
QToolButton *makeSymbolButton(const QIcon &icon, const QString &accessibleName, QWidget *parent);
// A borderless text button that reads as a link.
QPushButton *makeLinkButton(const QString &text, QWidget *parent);
// "HourloomLogo" at the panel's width, named "Hourloom Logo".
QLabel *makeLogo(QWidget *parent);
QFrame *makeSeparator(QWidget *parent);

} // namespace hourloom
