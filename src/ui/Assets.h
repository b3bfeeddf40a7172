#pragma once

#include <QColor>
#include <QIcon>
#include <QPalette>
#include <QPixmap>

namespace hourloom {

// The panel's and the tray's pictures by the names the views use, drawn as SVG files in
// src/ui/assets (hourloom.qrc).
class Assets {
public:
    // "StatusBarIcon" while a login is stored, "StatusBarIconLoggedOut" otherwise.
    static QIcon statusBarIcon(bool loggedIn);
    // "HourloomLogoShrunk" scaled to the given width, its aspect ratio kept.
    static QPixmap logo(int width);
    // "PlaceholderAvatar", the same picture for every user.
    static QPixmap placeholderAvatar(int side);
    // "BackgroundGray": a light grey, or a dark one under a dark palette so text stays readable.
    static QColor backgroundGray(const QPalette &palette);

    // Desktop themes name these symbols differently, and bare sessions have no theme at all:
    // the theme's icon when it has one, our own drawing otherwise.
    static QIcon minimizeSymbol(); // "minus.circle.fill"
    static QIcon quitSymbol();     // "xmark.circle.fill"
    static QIcon settingsSymbol(); // "gearshape.fill"
    static QIcon helpSymbol();     // "questionmark.circle"
};

} // namespace hourloom
