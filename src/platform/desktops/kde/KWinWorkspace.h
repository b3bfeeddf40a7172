#pragma once

#include "KWinScript.h"
#include "core/NotificationCenter.h"
#include "core/ports/WorkspaceProtocol.h"
#include "platform/desktops/entries/ActivationAnnouncer.h"
#include "platform/desktops/entries/DesktopEntryIndex.h"

#include <QDBusContext>
#include <QDBusServiceWatcher>
#include <QObject>

#include <memory>

namespace hourloom {

// The frontmost application of a KDE Plasma desktop. A script loaded into KWin calls this
// object on the session bus whenever a window becomes active; every change of application is
// posted to the notification center as an activation. When KWin restarts, the script is loaded
// into the new KWin; when this object goes, the script goes with it.
class KWinWorkspace final : public QObject, public WorkspaceProtocol, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.hourloom.KWinActivations")

public:
    static constexpr const char *interfaceName = "org.hourloom.KWinActivations";

    // Follows the active window of the KWin on this bus; none when there is no KWin or it
    // refuses the script, and *whyNot says which in a sentence.
    static std::shared_ptr<KWinWorkspace> start(const QDBusConnection &bus, DesktopEntryIndex desktopEntries, NotificationCenter &center,
                                                QString *whyNot);
    ~KWinWorkspace() override;

    // Where the script calls this object, and the name KWin knows the script by.
    const QString &objectPath() const { return objectPath_; }
    const QString &scriptName() const { return script_->name(); }

    // The application of the window KWin reported active last; none before the first report.
    std::optional<RunningApplication> frontmostApplication() const override;

public Q_SLOTS:
    // Called by the script in KWin. Calls from anyone but KWin are ignored.
    Q_SCRIPTABLE void windowActivated(const QString &resourceClass, const QString &resourceName, const QString &desktopFileName,
                                      const QString &pid);

private:
    KWinWorkspace(const QDBusConnection &bus, DesktopEntryIndex desktopEntries, NotificationCenter &center);
    void kwinChanged(const QString &newOwner);
    QCoro::Task<> reloadScript(QString kwin);

    QDBusConnection bus_;
    DesktopEntryIndex desktopEntries_;
    QString objectPath_;
    QString kwinOwner_;
    QDBusServiceWatcher kwinWatcher_;
    std::unique_ptr<KWinScript> script_;
    ActivationAnnouncer announcer_;
};

} // namespace hourloom
