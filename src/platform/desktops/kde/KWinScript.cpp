#include "KWinScript.h"

#include <QDBusMessage>
#include <QDir>
#include <QDBusPendingCall>

#include <qcoro/qcorodbus.h>

namespace hourloom {
namespace {

const QString kwinService = QStringLiteral("org.kde.KWin");
const QString scriptingPath = QStringLiteral("/Scripting");
const QString scriptingInterface = QStringLiteral("org.kde.kwin.Scripting");
// Bounds the calls made while the caller waits: a hung KWin must not hang the agent.
constexpr int blockingCallTimeoutMs = 3000;

QString errorOf(const QDBusMessage &reply)
{
    return reply.type() == QDBusMessage::ErrorMessage ? reply.errorName() + QStringLiteral(": ") + reply.errorMessage() : QString();
}

} // namespace

std::unique_ptr<KWinScript> KWinScript::load(const QDBusConnection &bus, const QString &name, const QByteArray &source, QString *error)
{
    auto file = std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/hourloom-kwin-XXXXXX.js"));
    if (!file->open() || file->write(source) != source.size() || !file->flush()) {
        *error = QStringLiteral("cannot write the KWin script to ") + file->fileName();
        return nullptr;
    }
    *error = QCoro::waitFor(loadAndRun(bus, name, file->fileName()));
    if (!error->isEmpty())
        return nullptr;
    return std::unique_ptr<KWinScript>(new KWinScript(bus, name, std::move(file)));
}

KWinScript::KWinScript(const QDBusConnection &bus, const QString &name, std::unique_ptr<QTemporaryFile> file)
    : bus_(bus)
    , name_(name)
    , file_(std::move(file))
{
}

KWinScript::~KWinScript()
{
    QDBusMessage unload = QDBusMessage::createMethodCall(kwinService, scriptingPath, scriptingInterface, QStringLiteral("unloadScript"));
    unload << name_;
    bus_.call(unload, QDBus::Block, blockingCallTimeoutMs);
}

QCoro::Task<QString> KWinScript::loadAndRun(QDBusConnection bus, QString name, QString path)
{
    QDBusMessage load = QDBusMessage::createMethodCall(kwinService, scriptingPath, scriptingInterface, QStringLiteral("loadScript"));
    load << path << name;
    const QDBusMessage loaded = co_await bus.asyncCall(load, blockingCallTimeoutMs);
    if (const QString error = errorOf(loaded); !error.isEmpty())
        co_return QStringLiteral("KWin did not load the script (") + error + QStringLiteral(")");
    const int id = loaded.arguments().value(0, -1).toInt();
    if (id < 0)
        co_return QStringLiteral("KWin refused the script ") + name;

    // KWin 6 puts a loaded script under /Scripting, KWin 5 at the root.
    QDBusMessage ran;
    for (const QString &path : {QStringLiteral("/Scripting/Script%1"), QStringLiteral("/%1")}) {
        const QDBusMessage run = QDBusMessage::createMethodCall(kwinService, path.arg(id), QStringLiteral("org.kde.kwin.Script"), QStringLiteral("run"));
        ran = co_await bus.asyncCall(run, blockingCallTimeoutMs);
        if (ran.errorName() != QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"))
            break;
    }
    if (const QString error = errorOf(ran); !error.isEmpty())
        co_return QStringLiteral("KWin did not run the script (") + error + QStringLiteral(")");
    co_return QString();
}

} // namespace hourloom
