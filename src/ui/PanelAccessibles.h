#pragma once

namespace hourloom {

// Installs, once, what screen readers need beyond Qt's own accessibles: the panel as a window,
// and a menu button's menu as its child. Qt leaves popups out of the accessibility tree, so a
// screen reader would otherwise meet the settings menu's entries only while they are open.
void installPanelAccessibles();

} // namespace hourloom
