#pragma once

#include "core/NotificationCenter.h"
#include "core/ports/WorkspaceProtocol.h"
#include "platform/desktops/entries/ActivationAnnouncer.h"
#include "platform/desktops/entries/DesktopEntryIndex.h"

#include <QDBusConnection>
#include <QObject>

#include <functional>

class QDBusPendingCallWatcher;

namespace hourloom {

// The frontmost application of a GNOME Shell session, as the agent's shell extension reports the
// focused window over D-Bus, to this agent alone once it registered. Every change of application is posted to the notification center as
// an activation; the answer to "which is frontmost" is the last report, so asking never waits on
// the shell. Until the extension runs nothing is frontmost; once it appears (enabled, or the shell
// started after the agent) its first report starts tracking.
class GnomeWorkspace final : public QObject, public WorkspaceProtocol {
    Q_OBJECT
public:
    GnomeWorkspace(QDBusConnection bus, DesktopEntryIndex desktopEntries, NotificationCenter &center);

    std::optional<RunningApplication> frontmostApplication() const override;

    // Whether the extension's name has an owner, as last seen.
    bool isExtensionRunning() const { return extensionRunning_; }
    // Called on the main loop whenever the extension starts or stops running.
    void onExtensionRunningChanged(std::function<void(bool)> handler) { runningChanged_ = std::move(handler); }

private Q_SLOTS:
    void focusChanged(const QString &appId, const QString &wmClass, const QString &wmClassInstance, uint pid);

private:
    void setExtensionRunning(bool running);
    QDBusPendingCallWatcher *callExtension(const QString &method);
    void registerWithExtension();
    void focusAnswered(QDBusPendingCallWatcher *call);

    QDBusConnection bus_;
    DesktopEntryIndex desktopEntries_;
    bool extensionRunning_ = false;
    std::function<void(bool)> runningChanged_;
    std::optional<RunningApplication> focused_;
    mutable ActivationAnnouncer announcer_;
};

} // namespace hourloom
