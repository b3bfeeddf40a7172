#include "GnomeWorkspace.h"

#include "GnomeShellExtension.h"

#include "core/Log.h"
#include "platform/desktops/entries/DesktopApplication.h"
#include "platform/desktops/entries/ProcessExecutable.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>

namespace hourloom {
namespace {

// A shell that does not answer within this is busy or hung: the next report will tell.
constexpr int focusQueryTimeoutMs = 2000;

std::optional<QString> unlessEmpty(const QString &text)
{
    return text.isEmpty() ? std::nullopt : std::optional<QString>(text);
}

} // namespace

GnomeWorkspace::GnomeWorkspace(QDBusConnection bus, DesktopEntryIndex desktopEntries, NotificationCenter &center)
    : bus_(std::move(bus))
    , desktopEntries_(std::move(desktopEntries))
    , announcer_(center)
{
    using namespace GnomeShellExtension;
    bus_.connect(busName, objectPath, interface, QStringLiteral("FocusChanged"), this,
                 SLOT(focusChanged(QString, QString, QString, uint)));
    auto *watcher = new QDBusServiceWatcher(busName, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &newOwner) { setExtensionRunning(!newOwner.isEmpty()); });
    if (bus_.interface() && bus_.interface()->isServiceRegistered(busName))
        setExtensionRunning(true);
}

void GnomeWorkspace::setExtensionRunning(bool running)
{
    if (running == extensionRunning_)
        return;
    extensionRunning_ = running;
    // Without the extension nobody tells which window has the focus: nothing is frontmost.
    focused_.reset();
    announcer_.forget();
    if (running)
        registerWithExtension();
    if (runningChanged_)
        runningChanged_(running);
}

QDBusPendingCallWatcher *GnomeWorkspace::callExtension(const QString &method)
{
    using namespace GnomeShellExtension;
    const QDBusMessage call = QDBusMessage::createMethodCall(busName, objectPath, interface, method);
    return new QDBusPendingCallWatcher(bus_.asyncCall(call, focusQueryTimeoutMs), this);
}

void GnomeWorkspace::registerWithExtension()
{
    // The extension tells the focus to the one client registered with it, and to it alone.
    connect(callExtension(QStringLiteral("Register")), &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        const QDBusPendingReply<> reply = *call;
        if (!reply.isError()) {
            connect(callExtension(QStringLiteral("GetFocus")), &QDBusPendingCallWatcher::finished, this, &GnomeWorkspace::focusAnswered);
            return;
        }
        // A busy shell that did not answer in time may have registered us all the same: asking
        // again is harmless.
        if (reply.error().type() == QDBusError::NoReply && extensionRunning_)
            registerWithExtension();
        else
            logLine(lcDesktop, QStringLiteral("GNOME Shell's Hourloom extension does not report the focus to the agent, so no application is tracked: ")
                                   + reply.error().message());
    });
}

void GnomeWorkspace::focusAnswered(QDBusPendingCallWatcher *call)
{
    call->deleteLater();
    const QDBusPendingReply<QString, QString, QString, uint> reply = *call;
    if (reply.isError())
        return;
    focusChanged(reply.argumentAt<0>(), reply.argumentAt<1>(), reply.argumentAt<2>(), reply.argumentAt<3>());
}

void GnomeWorkspace::focusChanged(const QString &appId, const QString &wmClass, const QString &wmClassInstance, uint pid)
{
    // The shell names windows it matched to no desktop entry "window:N": no application id.
    WindowFacts window;
    if (!appId.startsWith(QLatin1String("window:")))
        window.applicationId = unlessEmpty(appId);
    window.wmClassClass = unlessEmpty(wmClass);
    window.wmClassInstance = unlessEmpty(wmClassInstance);
    if (pid != 0)
        window.executable = executableOfProcess(pid);
    // Focus on no window at all is no application.
    if (!window.applicationId && !window.wmClassClass && !window.executable)
        return;
    focused_ = describeApplication(desktopEntries_, window);
    announcer_.activated(*focused_);
}

std::optional<RunningApplication> GnomeWorkspace::frontmostApplication() const
{
    return announcer_.answered(focused_);
}

} // namespace hourloom
