#pragma once

#include <QObject>

namespace hourloom {

// The menu-bar extra's presented flag (a macOS name kept on Linux, see "Names" in docs/ARCHITECTURE.md).
// Whether the tray panel is open, bound both ways: the tray sets it when the panel opens or
// closes, and setting it to false closes the panel.
class MenuPresentation : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isMenuPresented READ isMenuPresented WRITE setMenuPresented NOTIFY isMenuPresentedChanged)
public:
    bool isMenuPresented() const { return presented_; }
    void setMenuPresented(bool presented)
    {
        if (presented == presented_)
            return;
        presented_ = presented;
        emit isMenuPresentedChanged(presented);
    }

signals:
    void isMenuPresentedChanged(bool isMenuPresented);

private:
    bool presented_ = false;
};

} // namespace hourloom
