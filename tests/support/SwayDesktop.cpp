#include "SwayDesktop.h"

#include "XDesktop.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <pwd.h>
#include <unistd.h>

namespace hourloom::test {
namespace {

QJsonObject focusedNode(const QJsonObject &node)
{
    if (node.value(QStringLiteral("focused")).toBool() && node.contains(QStringLiteral("app_id")))
        return node;
    for (const QString &children : {QStringLiteral("nodes"), QStringLiteral("floating_nodes")}) {
        for (const QJsonValue &child : node.value(children).toArray()) {
            const QJsonObject found = focusedNode(child.toObject());
            if (!found.isEmpty())
                return found;
        }
    }
    return {};
}

bool hasAppId(const QJsonObject &node, const QString &appId)
{
    if (node.value(QStringLiteral("app_id")).toString() == appId)
        return true;
    for (const QString &children : {QStringLiteral("nodes"), QStringLiteral("floating_nodes")}) {
        for (const QJsonValue &child : node.value(children).toArray()) {
            if (hasAppId(child.toObject(), appId))
                return true;
        }
    }
    return false;
}

} // namespace

SwayDesktop::SwayDesktop()
{
    if (!directory_.isValid()) {
        error_ = QStringLiteral("no temporary folder for sway");
        return;
    }
    if (!prepareUser())
        return;
    const QDir dir(directory_.path());
    runtimeDir_ = dir.filePath(QStringLiteral("run"));
    QFile config(dir.filePath(QStringLiteral("config")));
    config.open(QIODevice::WriteOnly);
    config.write("output HEADLESS-1 resolution 1280x800\nfocus_follows_mouse no\n");
    config.close();

    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/local/bin:/usr/bin:/bin"));
    environment.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir_);
    environment.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
    environment.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
    environment.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    QStringList command{QStringLiteral("sway"), QStringLiteral("-c"), config.fileName()};
    if (geteuid() == 0) {
        const passwd *account = getpwnam(user.toLocal8Bit().constData());
        command = QStringList{QStringLiteral("--reuid=%1").arg(account->pw_uid), QStringLiteral("--regid=%1").arg(account->pw_gid),
                              QStringLiteral("--clear-groups"), QStringLiteral("--")}
            + command;
        command.prepend(QStringLiteral("setpriv"));
    }
    sway_ = std::make_unique<QProcess>();
    sway_->setProcessEnvironment(environment);
    sway_->setStandardOutputFile(dir.filePath(QStringLiteral("sway.log")));
    sway_->setStandardErrorFile(dir.filePath(QStringLiteral("sway.log")), QIODevice::Append);
    sway_->start(command.takeFirst(), command);
    if (!sway_->waitForStarted(5000)) {
        error_ = QStringLiteral("sway did not start (is the sway package installed?)");
        return;
    }

    // Ready once both sockets answer: the compositor's and the IPC one swaymsg talks to.
    const bool ready = XDesktop::spinUntil(
        [&] {
            if (sway_->state() != QProcess::Running)
                return true;
            const QDir run(runtimeDir_);
            const QStringList wayland = run.entryList({QStringLiteral("wayland-[0-9]*")}, QDir::System);
            const QStringList ipc = run.entryList({QStringLiteral("sway-ipc.*.sock")}, QDir::System);
            const auto socket = std::find_if(wayland.begin(), wayland.end(), [](const QString &name) { return !name.endsWith(".lock"); });
            if (socket == wayland.end() || ipc.isEmpty())
                return false;
            waylandSocket_ = run.filePath(*socket);
            swaySocket_ = run.filePath(ipc.first());
            return !swaymsg({QStringLiteral("-t"), QStringLiteral("get_version")}).isEmpty();
        },
        20000);
    if (!ready || sway_->state() != QProcess::Running)
        error_ = QStringLiteral("sway did not come up: ") + tailOfLog();
}

SwayDesktop::~SwayDesktop()
{
    // Windows first, the compositor last.
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
        (*it)->terminate();
        if (!(*it)->waitForFinished(3000)) {
            (*it)->kill();
            (*it)->waitForFinished(3000);
        }
    }
    if (sway_ && sway_->state() != QProcess::NotRunning) {
        sway_->terminate();
        if (!sway_->waitForFinished(5000)) {
            sway_->kill();
            sway_->waitForFinished(3000);
        }
    }
}

bool SwayDesktop::prepareUser()
{
    const QDir dir(directory_.path());
    dir.mkpath(QStringLiteral("run"));
    dir.mkpath(QStringLiteral("home"));
    dir.mkpath(QStringLiteral("client-run"));
    QFile::setPermissions(dir.filePath(QStringLiteral("run")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(dir.filePath(QStringLiteral("client-run")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (geteuid() != 0)
        return true;

    // useradd answers 9 when another test binary made the user a moment ago.
    if (!getpwnam(user.toLocal8Bit().constData())) {
        QProcess useradd;
        useradd.start(QStringLiteral("/usr/sbin/useradd"), {QStringLiteral("--system"), QStringLiteral("--no-create-home"), QStringLiteral("--home-dir"),
                                                  QStringLiteral("/nonexistent"), QStringLiteral("--shell"), QStringLiteral("/usr/sbin/nologin"), user});
        useradd.waitForFinished(30000);
        if (!getpwnam(user.toLocal8Bit().constData())) {
            error_ = QStringLiteral("could not create the user %1 to run sway: %2").arg(user, QString::fromLocal8Bit(useradd.readAllStandardError()).trimmed());
            return false;
        }
    }
    const passwd *account = getpwnam(user.toLocal8Bit().constData());
    // The user reads the config through the test's folder and owns its runtime folder and home.
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther
                                          | QFile::ReadGroup | QFile::ExeGroup);
    for (const QString &owned : {QStringLiteral("run"), QStringLiteral("home")}) {
        if (chown(QFile::encodeName(dir.filePath(owned)).constData(), account->pw_uid, account->pw_gid) != 0) {
            error_ = QStringLiteral("could not hand %1 to the user %2").arg(dir.filePath(owned), user);
            return false;
        }
    }
    return true;
}

QProcessEnvironment SwayDesktop::clientEnvironment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), waylandSocket_);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QDir(directory_.path()).filePath(QStringLiteral("client-run")));
    environment.insert(QStringLiteral("SWAYSOCK"), swaySocket_);
    environment.remove(QStringLiteral("DISPLAY"));
    return environment;
}

bool SwayDesktop::openWindow(const QString &appId)
{
    auto terminal = std::make_unique<QProcess>();
    terminal->setProcessEnvironment(clientEnvironment());
    terminal->setStandardOutputFile(QProcess::nullDevice());
    terminal->setStandardErrorFile(QProcess::nullDevice());
    terminal->start(QStringLiteral("foot"), {QStringLiteral("--app-id=") + appId, QStringLiteral("cat")});
    if (!terminal->waitForStarted(5000))
        return false;
    windows_.push_back(std::move(terminal));
    return XDesktop::spinUntil([&] {
        const QJsonDocument tree = QJsonDocument::fromJson(swaymsg({QStringLiteral("-t"), QStringLiteral("get_tree")}).toUtf8());
        return hasAppId(tree.object(), appId);
    });
}

bool SwayDesktop::focus(const QString &appId)
{
    return !swaymsg({QStringLiteral("[app_id=\"^%1$\"] focus").arg(appId)}).isEmpty();
}

QString SwayDesktop::focusedAppId()
{
    const QJsonDocument tree = QJsonDocument::fromJson(swaymsg({QStringLiteral("-t"), QStringLiteral("get_tree")}).toUtf8());
    return focusedNode(tree.object()).value(QStringLiteral("app_id")).toString();
}

bool SwayDesktop::type(const QString &text)
{
    QProcess wtype;
    wtype.setProcessEnvironment(clientEnvironment());
    wtype.start(QStringLiteral("wtype"), {text});
    return wtype.waitForFinished(10000) && wtype.exitStatus() == QProcess::NormalExit && wtype.exitCode() == 0;
}

QString SwayDesktop::swaymsg(const QStringList &arguments)
{
    return run(QStringLiteral("swaymsg"), arguments);
}

QString SwayDesktop::run(const QString &program, const QStringList &arguments)
{
    // A compositor that stopped answering must not hang the test.
    QProcess process;
    process.setProcessEnvironment(clientEnvironment());
    process.start(QStringLiteral("timeout"), QStringList{QStringLiteral("10"), program} + arguments);
    if (!process.waitForFinished(15000)) {
        process.kill();
        process.waitForFinished(1000);
        return {};
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString SwayDesktop::tailOfLog() const
{
    QFile log(QDir(directory_.path()).filePath(QStringLiteral("sway.log")));
    if (!log.open(QIODevice::ReadOnly))
        return QStringLiteral("(no log)");
    const QList<QByteArray> lines = log.readAll().trimmed().split('\n');
    return QString::fromUtf8(lines.mid(std::max<qsizetype>(0, lines.size() - 3)).join(" | "));
}

} // namespace hourloom::test
