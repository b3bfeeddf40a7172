#pragma once

#include <QRect>
#include <QWidget>

namespace hourloom {

class MenuPresentation;

// The frameless popup window that holds the panel's content under the tray icon. Its
// visibility and MenuPresentation's isMenuPresented follow each other: showing or hiding the
// panel sets the flag, setting the flag opens or closes the panel. A click outside closes it.
class MenuPanel : public QWidget {
    Q_OBJECT
public:
    MenuPanel(MenuPresentation &menuPresentation, QWidget *content);

    // The tray icon's screen geometry, under which the panel opens; an empty rectangle when
    // the tray does not tell.
    void setAnchor(const QRect &iconGeometry) { anchor_ = iconGeometry; }

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void present(bool presented);

    MenuPresentation &menuPresentation_;
    QRect anchor_;
};

} // namespace hourloom
