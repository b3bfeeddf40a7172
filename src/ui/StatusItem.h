#pragma once

#include "MenuPanel.h"
#include "OpenURL.h"

#include <QObject>

#include <memory>

class QMenu;
class QSystemTrayIcon;

namespace hourloom {

class MenuBarView;
class MenuPresentation;
class PanelWork;
class TerminationProtocol;
class UpdaterProtocol;
class UserActivityControllerProtocol;

// The agent's tray icon titled "Hourloom", with the panel it opens. The icon shows whether a
// login is stored and follows the user default "loggedIn"; activating it opens or closes the
// panel; its context menu holds "Check for Updates…" and "Quit". Where the desktop shows no tray
// icon, the panel is an ordinary window instead, opened by each start of the agent.
class StatusItem : public QObject {
    Q_OBJECT
public:
    // The panel starts with the login state of the scheduler's login controller. The menu
    // presentation, the updater and the termination request must outlive the item.
    StatusItem(MenuPresentation &menuPresentation, std::shared_ptr<UserActivityControllerProtocol> userActivityController,
               UpdaterProtocol &updater, TerminationProtocol &termination, OpenURL openURL = systemOpenURL(),
               MenuPanel::Placement placement = MenuPanel::Placement::besideTrayIcon, QObject *parent = nullptr);
    ~StatusItem() override;

    // Puts the icon into the tray, or into the one that appears later. Without a tray, the first
    // start of the agent also opens the panel on its own, once, saying how to come back to it.
    void show();
    // Opens the panel below the icon, as activating the icon does, with the focus in it; an open
    // panel comes to the front. A start of the agent that the desktop gave an activation token
    // (Wayland's xdg-activation) hands it on, and the panel asks for the focus with it.
    void openPanel(const QByteArray &activationToken = {});

    MenuPanel &panel() const { return *panel_; }
    // The panel's log-out and quit.
    PanelWork &work() const { return *work_; }

private:
    void showLoginState();
    void togglePanel();
    // A login the service refused: the user learns it from the icon, a notification and the
    // panel, which opens without taking the focus.
    void tellSessionExpired();

    MenuPresentation &menuPresentation_;
    MenuPanel::Placement placement_;
    std::unique_ptr<PanelWork> work_;
    std::unique_ptr<QMenu> contextMenu_;
    MenuBarView *content_;
    std::unique_ptr<MenuPanel> panel_;
    QSystemTrayIcon *trayIcon_;
};

} // namespace hourloom
