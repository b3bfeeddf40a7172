#include "GnomeShell.h"

#include "platform/desktops/gnome/GnomeExtensionInstaller.h"
#include "platform/desktops/gnome/GnomeShellExtension.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>
#include <QThread>


namespace hourloom::test {
namespace {

// A loaded 2-core machine has been seen to take half a minute to bring the shell up.
constexpr int shellStartMs = 120000;
constexpr int windowMs = 30000;

const QString remoteDesktop = QStringLiteral("org.gnome.Mutter.RemoteDesktop");

// Any client may own any name and talk to anyone: the shell only needs a system bus to exist.
const char systemBusConfig[] = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

// A Gtk window whose Wayland app_id is its first argument.
const char windowProgram[] = R"(
imports.gi.versions.Gtk = '3.0';
const { GLib, Gtk } = imports.gi;
GLib.set_prgname(ARGV[0]);
Gtk.init(null);
const window = new Gtk.Window({ title: ARGV[0], default_width: 320, default_height: 200 });
window.connect('destroy', () => Gtk.main_quit());
window.show_all();
Gtk.main();
)";

bool spinUntil(const std::function<bool()> &condition, int milliseconds)
{
    const QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
    return true;
}

bool hasOwner(const QString &name)
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface()->isServiceRegistered(name);
}

QString tail(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = file.readAll();
    return QString::fromUtf8(all.right(2000));
}

void stop(std::unique_ptr<QProcess> &process)
{
    if (!process)
        return;
    process->terminate();
    if (!process->waitForFinished(10000)) {
        process->kill();
        process->waitForFinished(5000);
    }
    process.reset();
}

} // namespace

GnomeShell::GnomeShell(const QString &extensionBundle, const std::function<void()> &beforeStart)
{
    for (const char *folder : {"home", "data", "cache", "runtime"})
        QDir(directory_.path()).mkpath(QString::fromLatin1(folder));
    QFile::setPermissions(directory_.filePath(QStringLiteral("runtime")), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    // The configuration folder stays this process's own (a private one in tests): the settings
    // daemon the bus starts, gsettings and the shell must all read the same settings.
    environment_ = QProcessEnvironment::systemEnvironment();
    environment_.insert(QStringLiteral("HOME"), directory_.filePath(QStringLiteral("home")));
    environment_.insert(QStringLiteral("XDG_DATA_HOME"), dataHome());
    environment_.insert(QStringLiteral("XDG_CACHE_HOME"), directory_.filePath(QStringLiteral("cache")));
    environment_.insert(QStringLiteral("XDG_RUNTIME_DIR"), directory_.filePath(QStringLiteral("runtime")));
    for (const char *variable : {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "XDG_SESSION_TYPE", "XDG_CURRENT_DESKTOP", "DBUS_SESSION_BUS_ADDRESS"})
        environment_.remove(QString::fromLatin1(variable));
    if (!startBuses(environment_))
        return;
    for (const char *variable : {"DBUS_SESSION_BUS_ADDRESS", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"})
        qputenv(variable, environment_.value(QString::fromLatin1(variable)).toUtf8());

    if (beforeStart)
        beforeStart();
    QString said;
    QTextStream out(&said);
    const bool installed = GnomeExtensionInstaller(extensionBundle).install(out, out);
    out.flush();
    installOutput_ = said;
    if (!installed) {
        error_ = QStringLiteral("the extension did not install: ") + said;
        return;
    }
    if (startShell(environment_) && findXwayland())
        startRemoteDesktop();
}

GnomeShell::~GnomeShell()
{
    for (auto &window : windows_)
        stop(window);
    if (!remoteDesktopSession_.isEmpty()) {
        QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(remoteDesktop, remoteDesktopSession_,
                                                                          remoteDesktop + QStringLiteral(".Session"), QStringLiteral("Stop")),
                                           QDBus::Block, 5000);
    }
    // GNOME Shell 43 dies of SIGSEGV on SIGTERM: how it ends says nothing about the tests.
    stop(shell_);
    stop(sessionBus_);
    stop(systemBus_);
}

QProcess *GnomeShell::start(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start(program, arguments);
    process->waitForStarted(5000);
    windows_.push_back(std::move(process));
    return windows_.back().get();
}

QProcess *GnomeShell::startDaemon(const QStringList &arguments, const QProcessEnvironment &environment, QString *address)
{
    auto *daemon = new QProcess;
    daemon->setProcessEnvironment(environment);
    daemon->setStandardErrorFile(QProcess::nullDevice());
    daemon->start(QStringLiteral("dbus-daemon"), arguments + QStringList{QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    daemon->waitForStarted(5000);
    const QDeadlineTimer deadline(10000);
    while (!daemon->canReadLine() && daemon->state() == QProcess::Running && !deadline.hasExpired())
        daemon->waitForReadyRead(100);
    *address = QString::fromUtf8(daemon->readLine()).trimmed();
    return daemon;
}

bool GnomeShell::startBuses(QProcessEnvironment &environment)
{
    const QString socket = directory_.filePath(QStringLiteral("system_bus_socket"));
    QFile config(directory_.filePath(QStringLiteral("system-bus.conf")));
    if (!config.open(QIODevice::WriteOnly) || config.write(QString::fromLatin1(systemBusConfig).arg(socket).toUtf8()) < 0) {
        error_ = QStringLiteral("cannot write the system bus configuration");
        return false;
    }
    config.close();
    QString systemAddress, sessionAddress;
    systemBus_.reset(startDaemon({QStringLiteral("--config-file=") + config.fileName()}, environment, &systemAddress));
    sessionBus_.reset(startDaemon({QStringLiteral("--session")}, environment, &sessionAddress));
    if (systemAddress.isEmpty() || sessionAddress.isEmpty()) {
        error_ = QStringLiteral("dbus-daemon did not start (package dbus-daemon)");
        return false;
    }
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), systemAddress);
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), sessionAddress);
    return true;
}

bool GnomeShell::startShell(const QProcessEnvironment &environment)
{
    QProcessEnvironment shellEnvironment = environment;
    shellEnvironment.insert(QStringLiteral("HOURLOOM_SHELL_TESTING"), QStringLiteral("1"));
    // Where systemd once ran, its stale seat files make the shell look for a logind session that
    // does not exist: a mount namespace of the shell's own hides them, and the shell falls back
    // to running without a seat.
    QString command = QStringLiteral("exec gnome-shell --headless --wayland --virtual-monitor 1280x800");
    QString program = QStringLiteral("sh");
    QStringList arguments;
    if (QFileInfo::exists(QStringLiteral("/run/systemd/seats"))) {
        program = QStringLiteral("unshare");
        arguments << QStringLiteral("--mount") << QStringLiteral("sh");
        command = QStringLiteral("mount -t tmpfs tmpfs /run/systemd && ") + command;
    }
    arguments << QStringLiteral("-c") << command;
    const QString log = directory_.filePath(QStringLiteral("gnome-shell.log"));
    shell_ = std::make_unique<QProcess>();
    shell_->setProcessEnvironment(shellEnvironment);
    shell_->setStandardOutputFile(log);
    shell_->setStandardErrorFile(log);
    shell_->start(program, arguments);
    shell_->waitForStarted(5000);
    const bool up = spinUntil([&] { return shell_->state() != QProcess::Running || hasOwner(GnomeShellExtension::busName); }, shellStartMs);
    if (up && shell_->state() == QProcess::Running)
        return true;
    error_ = QStringLiteral("gnome-shell did not start with its extension (packages gnome-shell, mutter): ") + tail(log);
    return false;
}

bool GnomeShell::findXwayland()
{
    // Mutter starts Xwayland as its child, with the display and the authority file on its command line.
    const QRegularExpression display(QStringLiteral("^:\\d+$"));
    const bool found = spinUntil([&] {
        const QString shellPid = QString::number(shell_->processId());
        for (const QString &task : QDir(QStringLiteral("/proc/%1/task").arg(shellPid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile children(QStringLiteral("/proc/%1/task/%2/children").arg(shellPid, task));
            if (!children.open(QIODevice::ReadOnly))
                continue;
            for (const QByteArray &child : children.readAll().split(' ')) {
                QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(QString::fromLatin1(child.trimmed())));
                if (child.trimmed().isEmpty() || !commandLine.open(QIODevice::ReadOnly))
                    continue;
                const QList<QByteArray> words = commandLine.readAll().split('\0');
                if (words.isEmpty() || !words.first().endsWith("Xwayland"))
                    continue;
                for (qsizetype i = 0; i < words.size(); ++i) {
                    if (display.match(QString::fromLatin1(words[i])).hasMatch())
                        xDisplay_ = QString::fromLatin1(words[i]);
                    if (words[i] == "-auth" && i + 1 < words.size())
                        xAuthority_ = QString::fromLocal8Bit(words[i + 1]);
                }
            }
        }
        return !xDisplay_.isEmpty() && !xAuthority_.isEmpty();
    }, windowMs);
    if (!found)
        error_ = QStringLiteral("the shell started no Xwayland");
    return found;
}

bool GnomeShell::startRemoteDesktop()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    spinUntil([] { return hasOwner(remoteDesktop); }, windowMs);
    const QDBusReply<QDBusObjectPath> session = bus.call(QDBusMessage::createMethodCall(
        remoteDesktop, QStringLiteral("/org/gnome/Mutter/RemoteDesktop"), remoteDesktop, QStringLiteral("CreateSession")), QDBus::Block, 10000);
    if (!session.isValid()) {
        error_ = QStringLiteral("no remote desktop session: ") + session.error().message();
        return false;
    }
    remoteDesktopSession_ = session.value().path();
    const QDBusMessage started = bus.call(QDBusMessage::createMethodCall(remoteDesktop, remoteDesktopSession_,
                                                                         remoteDesktop + QStringLiteral(".Session"), QStringLiteral("Start")),
                                          QDBus::Block, 10000);
    if (started.type() == QDBusMessage::ErrorMessage) {
        error_ = QStringLiteral("the remote desktop session did not start: ") + started.errorMessage();
        return false;
    }
    return true;
}

QProcessEnvironment GnomeShell::sessionEnvironment() const
{
    QProcessEnvironment environment = environment_;
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-0"));
    environment.insert(QStringLiteral("DISPLAY"), xDisplay_);
    environment.insert(QStringLiteral("XAUTHORITY"), xAuthority_);
    environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    return environment;
}

bool GnomeShell::openWaylandWindow(const QString &appId)
{
    const QString script = directory_.filePath(QStringLiteral("window.js"));
    if (!QFileInfo::exists(script)) {
        QFile file(script);
        if (!file.open(QIODevice::WriteOnly) || file.write(windowProgram) < 0)
            return false;
    }
    QProcessEnvironment environment = sessionEnvironment();
    environment.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("wayland"));
    start(QStringLiteral("gjs"), {script, appId}, environment);
    return spinUntil([&] { return activate(appId); }, windowMs);
}

bool GnomeShell::openX11Window(const QString &program, const QStringList &arguments, const QString &wmClass)
{
    QProcessEnvironment environment = sessionEnvironment();
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    start(program, arguments, environment);
    return spinUntil([&] { return activate(wmClass); }, windowMs);
}

bool GnomeShell::activate(const QString &appIdOrWmClass)
{
    QDBusMessage call = QDBusMessage::createMethodCall(GnomeShellExtension::busName, GnomeShellExtension::objectPath,
                                                       GnomeShellExtension::interface + QStringLiteral(".Testing"), QStringLiteral("Activate"));
    call << appIdOrWmClass;
    const QDBusReply<bool> found = QDBusConnection::sessionBus().call(call, QDBus::Block, 10000);
    return found.isValid() && found.value();
}

bool GnomeShell::pressKey(unsigned keysym)
{
    const QString session = remoteDesktop + QStringLiteral(".Session");
    for (bool pressed : {true, false}) {
        QDBusMessage call = QDBusMessage::createMethodCall(remoteDesktop, remoteDesktopSession_, session, QStringLiteral("NotifyKeyboardKeysym"));
        call << keysym << pressed;
        if (QDBusConnection::sessionBus().call(call, QDBus::Block, 10000).type() == QDBusMessage::ErrorMessage)
            return false;
    }
    return true;
}

bool GnomeShell::movePointer(double dx, double dy)
{
    QDBusMessage call = QDBusMessage::createMethodCall(remoteDesktop, remoteDesktopSession_, remoteDesktop + QStringLiteral(".Session"),
                                                       QStringLiteral("NotifyPointerMotionRelative"));
    call << dx << dy;
    return QDBusConnection::sessionBus().call(call, QDBus::Block, 10000).type() != QDBusMessage::ErrorMessage;
}

std::optional<QString> GnomeShell::gsettings(const QStringList &arguments)
{
    QProcess process;
    process.setProcessEnvironment(environment_);
    process.start(QStringLiteral("gsettings"), arguments);
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

bool GnomeShell::isExtensionRunning()
{
    return hasOwner(GnomeShellExtension::busName);
}

} // namespace hourloom::test
