#include "GnomeWorkspace.h"

#include "GnomeShellExtension.h"

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
                 SLOT(focusChanged(QString, QString, QString, QString, uint)));
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
        askForFocus();
    if (runningChanged_)
        runningChanged_(running);
}

void GnomeWorkspace::askForFocus()
{
    using namespace GnomeShellExtension;
    const QDBusMessage question = QDBusMessage::createMethodCall(busName, objectPath, interface, QStringLiteral("GetFocus"));
    auto *call = new QDBusPendingCallWatcher(bus_.asyncCall(question, focusQueryTimeoutMs), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, &GnomeWorkspace::focusAnswered);
}

void GnomeWorkspace::focusAnswered(QDBusPendingCallWatcher *call)
{
    call->deleteLater();
    const QDBusPendingReply<QString, QString, QString, QString, uint> reply = *call;
    if (reply.isError())
        return;
    focusChanged(reply.argumentAt<0>(), reply.argumentAt<1>(), reply.argumentAt<2>(), reply.argumentAt<3>(), reply.argumentAt<4>());
}

void GnomeWorkspace::focusChanged(const QString &appId, const QString &wmClass, const QString &wmClassInstance, const QString &, uint pid)
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
