#include "KWinWorkspace.h"

#include "core/Log.h"
#include "platform/desktops/entries/DesktopApplication.h"
#include "platform/desktops/entries/ProcessExecutable.h"

#include <QDBusConnectionInterface>
#include <QFile>
#include <QPointer>
#include <QRegularExpression>

#include <qcoro/qcorotimer.h>

namespace hourloom {
namespace {

const QString kwinService = QStringLiteral("org.kde.KWin");
constexpr int reloadAttempts = 60;
constexpr std::chrono::milliseconds reloadInterval{500};

std::optional<QString> nonEmpty(const QString &text)
{
    return text.isEmpty() ? std::nullopt : std::optional<QString>(text);
}

// One object per workspace on the shared bus connection: each has a path of its own.
QString nextObjectPath()
{
    static int made = 0;
    return QStringLiteral("/org/hourloom/KWinActivations/%1").arg(++made);
}

QByteArray scriptSource(const QDBusConnection &bus, const QString &objectPath)
{
    QFile resource(QStringLiteral(":/hourloom/kde/activations.js"));
    QByteArray source = resource.open(QIODevice::ReadOnly) ? resource.readAll() : QByteArray();
    source.replace("@SERVICE@", bus.baseService().toUtf8());
    source.replace("@PATH@", objectPath.toUtf8());
    source.replace("@INTERFACE@", KWinWorkspace::interfaceName);
    return source;
}

// Unique among the scripts of one KWin: a bus connection's unique name is never reused.
QString uniqueScriptName(const QDBusConnection &bus, const QString &objectPath)
{
    return QStringLiteral("hourloom%1%2").arg(bus.baseService(), objectPath).replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")), QStringLiteral("-"));
}

} // namespace

std::shared_ptr<KWinWorkspace> KWinWorkspace::start(const QDBusConnection &bus, DesktopEntryIndex desktopEntries, NotificationCenter &center,
                                                    QString *whyNot)
{
    if (!bus.isConnected()) {
        *whyNot = QStringLiteral("no session bus");
        return nullptr;
    }
    const QString owner = bus.interface()->serviceOwner(kwinService);
    if (owner.isEmpty()) {
        *whyNot = QStringLiteral("no KWin on the session bus");
        return nullptr;
    }
    std::shared_ptr<KWinWorkspace> workspace(new KWinWorkspace(bus, std::move(desktopEntries), center));
    if (!workspace->bus_.registerObject(workspace->objectPath_, workspace.get(), QDBusConnection::ExportScriptableSlots)) {
        *whyNot = QStringLiteral("cannot offer the KWin script an object on the session bus");
        return nullptr;
    }
    workspace->kwinOwner_ = owner;
    workspace->script_ = KWinScript::load(bus, uniqueScriptName(bus, workspace->objectPath_), scriptSource(bus, workspace->objectPath_), whyNot);
    if (!workspace->script_)
        return nullptr;
    return workspace;
}

KWinWorkspace::KWinWorkspace(const QDBusConnection &bus, DesktopEntryIndex desktopEntries, NotificationCenter &center)
    : bus_(bus)
    , desktopEntries_(std::move(desktopEntries))
    , objectPath_(nextObjectPath())
    , kwinWatcher_(kwinService, bus, QDBusServiceWatcher::WatchForOwnerChange)
    , announcer_(center)
{
    connect(&kwinWatcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &newOwner) { kwinChanged(newOwner); });
}

KWinWorkspace::~KWinWorkspace()
{
    script_.reset();
    bus_.unregisterObject(objectPath_);
}

std::optional<RunningApplication> KWinWorkspace::frontmostApplication() const
{
    return announcer_.known();
}

void KWinWorkspace::windowActivated(const QString &resourceClass, const QString &resourceName, const QString &desktopFileName,
                                    const QString &pid)
{
    if (!calledFromDBus() || message().service() != kwinOwner_)
        return;
    WindowFacts facts;
    facts.wmClassClass = nonEmpty(resourceClass);
    facts.wmClassInstance = nonEmpty(resourceName);
    facts.applicationId = nonEmpty(desktopFileName);
    facts.applicationIdMayBeGuessed = true;
    bool isNumber = false;
    if (const uint processId = pid.toUInt(&isNumber); isNumber && processId > 0)
        facts.executable = executableOfProcess(processId);
    announcer_.activated(describeApplication(desktopEntries_, facts));
}

void KWinWorkspace::kwinChanged(const QString &newOwner)
{
    kwinOwner_ = newOwner;
    if (!newOwner.isEmpty())
        reloadScript(newOwner);
}

QCoro::Task<> KWinWorkspace::reloadScript(QString kwin)
{
    // A starting KWin takes its name on the bus before it offers scripting: ask again for a while.
    const QPointer<KWinWorkspace> self(this);
    QString error;
    for (int attempt = 0; attempt < reloadAttempts; ++attempt) {
        if (attempt > 0)
            co_await QCoro::sleepFor(reloadInterval);
        if (!self || !script_ || kwinOwner_ != kwin)
            co_return;
        error = co_await script_->reload();
        if (!self || error.isEmpty())
            co_return;
    }
    logLine(lcDesktop, QStringLiteral("KWin restarted and %1: the frontmost application is not seen until the agent restarts").arg(error));
}

} // namespace hourloom
