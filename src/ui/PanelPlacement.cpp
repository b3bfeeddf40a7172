#include "PanelPlacement.h"

#include <algorithm>

namespace hourloom {

QPoint panelPosition(const QRect &iconGeometry, const QSize &panelSize, const QRect &availableGeometry)
{
    const int rightmost = availableGeometry.right() + 1 - panelSize.width();
    if (!iconGeometry.isValid())
        return QPoint(rightmost, availableGeometry.top());

    const int centred = iconGeometry.x() + (iconGeometry.width() - panelSize.width()) / 2;
    const int x = std::max(availableGeometry.left(), std::min(centred, rightmost));
    const bool fitsBelow = iconGeometry.bottom() + 1 + panelSize.height() <= availableGeometry.bottom() + 1;
    const int y = fitsBelow ? iconGeometry.bottom() + 1 : iconGeometry.top() - panelSize.height();
    return QPoint(x, std::max(availableGeometry.top(), y));
}

} // namespace hourloom
