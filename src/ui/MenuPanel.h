#pragma once

#include <QRect>
#include <QWidget>

namespace hourloom {

class MenuBarView;
class MenuPresentation;

// The window titled "Hourloom" that holds the panel's content. Its visibility and
// MenuPresentation's isMenuPresented follow each other: showing or hiding the panel sets the
// flag, setting the flag opens or closes the panel. It never grabs the keyboard or the mouse, so
// screen readers find it and typing elsewhere goes where the user types.
class MenuPanel : public QWidget {
    Q_OBJECT
public:
    enum class Placement {
        // Frameless under the tray icon; it closes when another window takes the focus.
        besideTrayIcon,
        // An ordinary window the desktop lists with the others, for desktops without a tray.
        ordinaryWindow,
    };

    MenuPanel(MenuPresentation &menuPresentation, MenuBarView *content, Placement placement = Placement::besideTrayIcon);

    // The tray icon's screen geometry, under which the panel opens; an empty rectangle when
    // the tray does not tell.
    void setAnchor(const QRect &iconGeometry) { anchor_ = iconGeometry; }
    // The user asked for the panel: it opens (or comes to the front) with the keyboard focus on
    // its first control.
    void openAsked();
    // The agent opens the panel on its own: it shows without taking the focus from the
    // application the user works in. An open panel stays as it is.
    void openUnasked();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void present(bool presented);
    void takeFocus();

    MenuPresentation &menuPresentation_;
    MenuBarView *content_;
    Placement placement_;
    QRect anchor_;
    bool nextShowTakesFocus_ = true;
    bool focusOnActivation_ = false;
    bool placed_ = false;
};

} // namespace hourloom
