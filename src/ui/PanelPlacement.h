#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace hourloom {

// Where the panel's top-left corner goes: centred under the tray icon, or above it when the
// tray sits at the bottom of the screen, kept inside the screen's available area. Without an
// icon geometry (some trays do not report one) the panel goes to the area's top-right corner.
QPoint panelPosition(const QRect &iconGeometry, const QSize &panelSize, const QRect &availableGeometry);

} // namespace hourloom
