#include "StatusItem.h"

#include "Assets.h"
#include "CheckForUpdatesView.h"
#include "DesktopNotification.h"
#include "LoginViewModel.h"
#include "MenuBarView.h"
#include "PanelWork.h"

#include "core/MenuPresentation.h"
#include "core/UserDefaults.h"
#include "auth/AuthControllerProtocol.h"
#include "upload/UserActivityControllerProtocol.h"

#include <QGuiApplication>
#include <QMenu>
#include <QSystemTrayIcon>

namespace hourloom {
namespace {

// Set once the agent has opened its panel on its own on a desktop without a tray.
const QString openedWithoutTrayKey = QStringLiteral("OpenedWithoutTray");

} // namespace

StatusItem::StatusItem(MenuPresentation &menuPresentation, std::shared_ptr<UserActivityControllerProtocol> userActivityController,
                       UpdaterProtocol &updater, TerminationProtocol &termination, OpenURL openURL, MenuPanel::Placement placement,
                       QObject *parent)
    : QObject(parent)
    , menuPresentation_(menuPresentation)
    , placement_(placement)
    , work_(std::make_unique<PanelWork>(userActivityController, termination))
    , contextMenu_(std::make_unique<QMenu>())
    , trayIcon_(new QSystemTrayIcon(this))
{
    const auto authController = userActivityController->authController();
    const bool loggedIn = authController->loggedIn();
    content_ = new MenuBarView(PanelEnvironment{menuPresentation, std::move(userActivityController), *work_, std::move(openURL)}, loggedIn);
    panel_ = std::make_unique<MenuPanel>(menuPresentation, content_, placement);
    if (placement == MenuPanel::Placement::ordinaryWindow)
        content_->showComeBackHint();

    contextMenu_->addAction(new CheckForUpdatesView(updater, contextMenu_.get()));
    contextMenu_->addSeparator();
    contextMenu_->addAction(QStringLiteral("Quit"), this, [this] { work_->quit(); });

    trayIcon_->setToolTip(QStringLiteral("Hourloom"));
    trayIcon_->setContextMenu(contextMenu_.get());
    showLoginState();
    connect(&UserDefaults::notifier(), &UserDefaultsNotifier::changed, this, [this, authController](const QString &key) {
        if (key != UserDefaults::loggedInKey)
            return;
        showLoginState();
        if (!UserDefaults::boolean(UserDefaults::loggedInKey) && authController->sessionExpired())
            tellSessionExpired();
    });
    connect(trayIcon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            togglePanel();
    });
}

StatusItem::~StatusItem() = default;

void StatusItem::show()
{
    // Also without a tray: Qt hands the icon to one that appears later (an XEmbed tray on X11, a
    // StatusNotifierWatcher such as GNOME's AppIndicator extension on Wayland).
    trayIcon_->show();
    if (placement_ == MenuPanel::Placement::besideTrayIcon || UserDefaults::boolean(openedWithoutTrayKey))
        return;
    UserDefaults::setBoolean(openedWithoutTrayKey, true);
    panel_->openUnasked();
}

void StatusItem::showLoginState()
{
    trayIcon_->setIcon(Assets::statusBarIcon(UserDefaults::boolean(UserDefaults::loggedInKey)));
}

void StatusItem::tellSessionExpired()
{
    notifyUser(*trayIcon_, QStringLiteral("Hourloom"), LoginViewModel::sessionExpiredText());
    panel_->openUnasked();
}

void StatusItem::togglePanel()
{
    // A panel that opened by itself is not yet the user's: the click gives it the focus.
    if (menuPresentation_.isMenuPresented() && panel_->isActiveWindow())
        menuPresentation_.setMenuPresented(false);
    else
        openPanel();
}

void StatusItem::openPanel(const QByteArray &activationToken)
{
    // A compositor that prevents focus stealing activates a window only with a token of the
    // user's action; Qt's Wayland platform takes it from the environment at the next activation,
    // and removes it there. Elsewhere it would only be handed on to the programs the panel starts.
    if (!activationToken.isEmpty() && QGuiApplication::platformName() == QLatin1String("wayland"))
        qputenv("XDG_ACTIVATION_TOKEN", activationToken);
    // Only an XEmbed tray tells where the icon is. A StatusNotifierItem host (the tray of Wayland
    // desktops) does not: Qt drops the position its activation carries, so the geometry is empty
    // and the panel opens at the screen's top-right corner.
    panel_->setAnchor(trayIcon_->geometry());
    panel_->openAsked();
}

} // namespace hourloom
