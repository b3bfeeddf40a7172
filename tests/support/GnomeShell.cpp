#include "GnomeShell.h"

#include "platform/desktops/gnome/GnomeExtensionInstaller.h"
#include "platform/desktops/gnome/GnomeShellExtension.h"
#include "platform/desktops/gnome/GnomeWorkspace.h"
#include "platform/desktops/gnome/MutterIdleMonitor.h"
#include "platform/desktops/gnome/MutterIdleSource.h"
#include "platform/desktops/gnome/MutterInputMonitor.h"
#include "platform/desktops/entries/DesktopEntryIndex.h"

#include "XDesktop.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>

#include <sys/stat.h>

#include <algorithm>
#include <iterator>

namespace hourloom::test {
namespace {

// A loaded 2-core machine has been seen to take half a minute to bring the shell up.
constexpr int shellStartMs = 120000;
constexpr int windowMs = 30000;

const QString remoteDesktop = QStringLiteral("org.gnome.Mutter.RemoteDesktop");

bool hasOwner(const QString &name)
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface()->isServiceRegistered(name);
}

} // namespace

GnomeShell::GnomeShell(const QString &extensionBundle)
{
    backendName = QStringLiteral("GNOME Shell");
    hasOwnSessionBus = true;
    startsApplications = true;
    windows_ = {alphaWindow(QStringLiteral("Alpha")), betaWindow(QStringLiteral("org.hourloom.Beta")), unlistedWindow(QStringLiteral("hourloom-gamma"))};
    for (const char *folder : {"home", "data", "cache", "runtime"})
        QDir(directory_.path()).mkpath(QString::fromLatin1(folder));
    QFile::setPermissions(directory_.filePath(QStringLiteral("runtime")), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    // This process, the buses and the shell run in the shell's session; the configuration folder
    // stays this process's own (a private one in tests): the settings daemon the bus starts,
    // gsettings and the shell must all read the same settings.
    qputenv("HOME", QFile::encodeName(directory_.filePath(QStringLiteral("home"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome()));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(directory_.filePath(QStringLiteral("cache"))));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(directory_.filePath(QStringLiteral("runtime"))));
    for (const char *variable : {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "XDG_SESSION_TYPE", "XDG_CURRENT_DESKTOP", "DBUS_SESSION_BUS_ADDRESS"})
        qunsetenv(variable);
    if (!startBuses())
        return;

    writeTestEntries(dataHome());
    QString said;
    QTextStream out(&said);
    const bool installed = GnomeExtensionInstaller(extensionBundle).install(out, out);
    out.flush();
    installOutput_ = said;
    if (!installed) {
        error_ = QStringLiteral("the extension did not install: ") + said;
        return;
    }
    if (!installAgentEntry() || !startShell() || !findXwayland() || !startRemoteDesktop())
        return;
    QProcessEnvironment xwayland = clientEnvironment();
    xwayland.remove(QStringLiteral("WAYLAND_DISPLAY"));
    if (!openXAndQtWindows(processes_, xwayland, clientEnvironment()))
        error_ = QStringLiteral("the test windows did not show");
}

GnomeShell::~GnomeShell()
{
    if (!remoteDesktopSession_.isEmpty())
        callRemoteDesktop(QStringLiteral("Stop"), {});
    // GNOME Shell 43 dies of SIGSEGV on SIGTERM: how it ends says nothing about the tests.
    processes_.stopAll();
}

bool GnomeShell::startBuses()
{
    // The shell only needs a system bus to exist, one where it may own any name and talk to
    // anyone: another session bus is that.
    systemBus_ = std::make_unique<PrivateSessionBus>();
    sessionBus_ = std::make_unique<PrivateSessionBus>();
    error_ = systemBus_->error() + sessionBus_->error();
    if (!error_.isEmpty())
        return false;
    qputenv("DBUS_SESSION_BUS_ADDRESS", sessionBus_->address().toUtf8());
    environment_ = QProcessEnvironment::systemEnvironment();
    environment_.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), systemBus_->address());
    return true;
}

bool GnomeShell::startShell()
{
    // Mutter starts Xwayland only when the X sockets' folder is writable by everyone, as a
    // desktop's boot makes it; where it is missing (a bare root), Mutter makes it under the umask.
    const char *xSockets = "/tmp/.X11-unix";
    if (mkdir(xSockets, 01777) == 0)
        chmod(xSockets, 01777);
    QProcessEnvironment shellEnvironment = environment_;
    shellEnvironment.insert(QStringLiteral("HOURLOOM_SHELL_TESTING"), QStringLiteral("1"));
    shellEnvironment.insert(QStringLiteral("PATH"), QFileInfo(QStringLiteral(HOURLOOM_AGENT)).path() + u':' + shellEnvironment.value(QStringLiteral("PATH")));
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
    shell_ = &processes_.start(program, arguments, shellEnvironment, log);
    const bool up = XDesktop::spinUntil([&] { return shell_->state() != QProcess::Running || hasOwner(GnomeShellExtension::busName); }, shellStartMs);
    if (up && shell_->state() == QProcess::Running)
        return true;
    error_ = QStringLiteral("gnome-shell did not start with its extension (packages gnome-shell, mutter): ") + tailOf(log);
    return false;
}

bool GnomeShell::findXwayland()
{
    // Mutter starts Xwayland as its child, with the display and the authority file on its command line.
    const QRegularExpression display(QStringLiteral(" (:\\d+)\\s"));
    const QRegularExpression authority(QStringLiteral(" -auth (\\S+)"));
    const bool found = XDesktop::spinUntil([&] {
        const QString xwayland = runProgram(QStringLiteral("pgrep"), {QStringLiteral("-a"), QStringLiteral("-P"), QString::number(shell_->processId()),
                                                                      QStringLiteral("Xwayland")},
                                            environment_).value_or(QString());
        xDisplay_ = display.match(xwayland).captured(1);
        xAuthority_ = authority.match(xwayland).captured(1);
        return !xDisplay_.isEmpty() && !xAuthority_.isEmpty();
    }, windowMs);
    if (!found)
        error_ = QStringLiteral("the shell started no Xwayland");
    return found;
}

bool GnomeShell::startRemoteDesktop()
{
    XDesktop::spinUntil([] { return hasOwner(remoteDesktop); }, windowMs);
    const QDBusReply<QDBusObjectPath> session = QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(remoteDesktop, QStringLiteral("/org/gnome/Mutter/RemoteDesktop"), remoteDesktop, QStringLiteral("CreateSession")),
        QDBus::Block, 10000);
    remoteDesktopSession_ = session.isValid() ? session.value().path() : QString();
    if (!remoteDesktopSession_.isEmpty() && callRemoteDesktop(QStringLiteral("Start"), {}))
        return true;
    error_ = QStringLiteral("no remote desktop session: ") + session.error().message();
    return false;
}

QProcessEnvironment GnomeShell::clientEnvironment() const
{
    QProcessEnvironment environment = environment_;
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-0"));
    environment.insert(QStringLiteral("DISPLAY"), xDisplay_);
    environment.insert(QStringLiteral("XAUTHORITY"), xAuthority_);
    environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    return environment;
}

bool GnomeShell::activate(const TestWindow &window)
{
    QDBusMessage call = QDBusMessage::createMethodCall(GnomeShellExtension::busName, GnomeShellExtension::objectPath,
                                                       GnomeShellExtension::interface + QStringLiteral(".Testing"), QStringLiteral("Activate"));
    call << window.handle;
    const QDBusReply<bool> found = QDBusConnection::sessionBus().call(call, QDBus::Block, 10000);
    return found.isValid() && found.value();
}

bool GnomeShell::callRemoteDesktop(const QString &method, const QVariantList &arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(remoteDesktop, remoteDesktopSession_, remoteDesktop + QStringLiteral(".Session"), method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, 10000).type() != QDBusMessage::ErrorMessage;
}

bool GnomeShell::pressKeys(std::initializer_list<unsigned> keysyms)
{
    const auto notify = [this](unsigned keysym, bool pressed) { return callRemoteDesktop(QStringLiteral("NotifyKeyboardKeysym"), {keysym, pressed}); };
    return std::all_of(keysyms.begin(), keysyms.end(), [&](unsigned keysym) { return notify(keysym, true); })
        && std::all_of(std::rbegin(keysyms), std::rend(keysyms), [&](unsigned keysym) { return notify(keysym, false); });
}

bool GnomeShell::pressKey()
{
    constexpr unsigned keysymX = 0x78;
    return pressKeys({keysymX});
}

bool GnomeShell::pressEscape()
{
    constexpr unsigned keysymEscape = 0xff1b;
    return pressKeys({keysymEscape});
}

bool GnomeShell::startFromTheApplications(const QString &entry, const QProcessEnvironment &)
{
    constexpr unsigned keysymSuper = 0xffeb;
    constexpr unsigned keysymOne = 0x31;
    return entry == QStringLiteral(HOURLOOM_DESKTOP_ENTRY) && pressKeys({keysymSuper, keysymOne});
}

bool GnomeShell::installAgentEntry()
{
    // Before the shell starts: favourites it does not know the entry of are dropped.
    const QString id = QFileInfo(QStringLiteral(HOURLOOM_DESKTOP_ENTRY)).fileName();
    if (QFile::copy(QStringLiteral(HOURLOOM_DESKTOP_ENTRY), dataHome() + QStringLiteral("/applications/") + id)
        && gsettings({QStringLiteral("set"), QStringLiteral("org.gnome.shell"), QStringLiteral("favorite-apps"), QStringLiteral("['%1']").arg(id)}))
        return true;
    error_ = QStringLiteral("the agent's desktop entry did not install");
    return false;
}

bool GnomeShell::movePointer()
{
    return callRemoteDesktop(QStringLiteral("NotifyPointerMotionRelative"), {5.0, 5.0});
}

PlatformBackend GnomeShell::services(NotificationCenter &activations, double)
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return {std::make_shared<GnomeWorkspace>(bus, DesktopEntryIndex::fromSystem(), activations), std::make_shared<MutterIdleSource>(bus),
            std::make_shared<MutterInputMonitor>(bus)};
}

void GnomeShell::settle()
{
    // The shell answers calls in order: once it answered this one, it has taken the agent's
    // earlier ones (the idle monitor's user-active watch among them), and the extension's
    // signals sent before have arrived. Then they are delivered, then the activations they posted.
    QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(MutterIdleMonitor::service, MutterIdleMonitor::corePath,
                                                                      MutterIdleMonitor::interface, QStringLiteral("GetIdletime")),
                                       QDBus::Block, 10000);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents();
}

std::optional<QString> GnomeShell::gsettings(const QStringList &arguments) const
{
    const auto printed = runProgram(QStringLiteral("gsettings"), arguments, environment_);
    return printed ? std::optional(printed->trimmed()) : std::nullopt;
}

bool GnomeShell::isExtensionRunning()
{
    return hasOwner(GnomeShellExtension::busName);
}

} // namespace hourloom::test
