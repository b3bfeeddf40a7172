#include "SwayDesktop.h"

#include "XDesktop.h"

#include "platform/desktops/entries/DesktopEntryIndex.h"
#include "platform/desktops/wayland/WaylandIdleNotifier.h"
#include "platform/desktops/wlroots/WlrootsWorkspace.h"

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <wayland-client.h>

#include <pwd.h>
#include <unistd.h>

namespace hourloom::test {

SwayDesktop::SwayDesktop()
{
    backendName = QStringLiteral("wlroots");
    hasEmptyDesktop = true;
    windows_ = {alphaWindow(QStringLiteral("Alpha")), betaWindow(QStringLiteral("org.hourloom.Beta")), unlistedWindow(QStringLiteral("hourloom-gamma"))};
    if (!prepareUser() || !startSway())
        return;
    input_ = WaylandConnection::open(clientEnvironment());
    // The agent prefers the standard idle protocol wherever sway offers it (from 1.8 on); before,
    // KDE's was the only one.
    const bool extIdle = input_ && input_->global(QStringLiteral("ext_idle_notifier_v1"));
    idleProtocol = extIdle ? QStringLiteral("ext_idle_notifier_v1") : QStringLiteral("org_kde_kwin_idle");
    pointerManager_ = input_ ? static_cast<zwlr_virtual_pointer_manager_v1 *>(input_->bind(zwlr_virtual_pointer_manager_v1_interface, 1)) : nullptr;
    seat_ = input_ ? static_cast<wl_seat *>(input_->bind(wl_seat_interface, 1)) : nullptr;
    if (pointerManager_ && seat_)
        pointer_ = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(pointerManager_, seat_);
    // sway focuses each window as it shows: alpha, opened last, has the focus.
    const auto opened = [&](const TestWindow &window) {
        return openWindow(processes_, QStringLiteral("foot"), {QStringLiteral("--app-id=") + window.handle, QStringLiteral("cat")}, clientEnvironment(), window);
    };
    if (!opened(windows_[2]) || !opened(windows_[1]) || !opened(windows_[0]) || !pointer_)
        error_ = QStringLiteral("the test windows did not open, or sway offers no virtual pointer");
}

SwayDesktop::~SwayDesktop()
{
    if (pointer_)
        zwlr_virtual_pointer_v1_destroy(pointer_);
    if (seat_)
        wl_seat_destroy(seat_);
    if (pointerManager_)
        zwlr_virtual_pointer_manager_v1_destroy(pointerManager_);
}

bool SwayDesktop::prepareUser()
{
    const QDir dir(directory_.path());
    for (const QString &folder : {QStringLiteral("run"), QStringLiteral("home"), QStringLiteral("client-run")}) {
        dir.mkpath(folder);
        QFile::setPermissions(dir.filePath(folder), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    if (geteuid() != 0)
        return true;
    // useradd answers 9 when another test program made the user a moment ago.
    if (!getpwnam(user.toLocal8Bit().constData())) {
        runProgram(QStringLiteral("/usr/sbin/useradd"), {QStringLiteral("--system"), QStringLiteral("--no-create-home"), QStringLiteral("--home-dir"),
                                                                            QStringLiteral("/nonexistent"), QStringLiteral("--shell"), QStringLiteral("/usr/sbin/nologin"), user},
                                      QProcessEnvironment::systemEnvironment(), 30);
        if (!getpwnam(user.toLocal8Bit().constData())) {
            error_ = QStringLiteral("could not create the user %1 to run sway").arg(user);
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

bool SwayDesktop::startSway()
{
    const QDir dir(directory_.path());
    const QString runtimeDir = dir.filePath(QStringLiteral("run"));
    QFile config(dir.filePath(QStringLiteral("config")));
    if (!config.open(QIODevice::WriteOnly) || config.write("output HEADLESS-1 resolution 1280x800\nfocus_follows_mouse no\n") < 0)
        return false;
    config.close();

    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/local/bin:/usr/bin:/bin"));
    environment.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
    environment.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
    environment.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
    environment.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    QStringList command{QStringLiteral("sway"), QStringLiteral("-c"), config.fileName()};
    if (geteuid() == 0) {
        const passwd *account = getpwnam(user.toLocal8Bit().constData());
        command = QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=%1").arg(account->pw_uid), QStringLiteral("--regid=%1").arg(account->pw_gid),
                              QStringLiteral("--clear-groups"), QStringLiteral("--")}
            + command;
    }
    QProcess &sway = processes_.start(command.takeFirst(), command, environment, dir.filePath(QStringLiteral("sway.log")));

    // Ready once both sockets answer: the compositor's and the IPC one swaymsg talks to.
    const bool ready = XDesktop::spinUntil(
        [&] {
            if (sway.state() != QProcess::Running)
                return true;
            const QDir run(runtimeDir);
            const QStringList wayland = run.entryList({QStringLiteral("wayland-[0-9]*")}, QDir::System);
            const QStringList ipc = run.entryList({QStringLiteral("sway-ipc.*.sock")}, QDir::System);
            const auto socket = std::find_if(wayland.begin(), wayland.end(), [](const QString &name) { return !name.endsWith(".lock"); });
            if (socket == wayland.end() || ipc.isEmpty())
                return false;
            waylandSocket_ = run.filePath(*socket);
            swaySocket_ = run.filePath(ipc.first());
            return swaymsg({QStringLiteral("-t"), QStringLiteral("get_version")}).has_value();
        },
        20000);
    if (!ready || sway.state() != QProcess::Running)
        error_ = QStringLiteral("sway did not come up (is the sway package installed?): ") + tailOf(dir.filePath(QStringLiteral("sway.log")));
    return error_.isEmpty();
}

QProcessEnvironment SwayDesktop::clientEnvironment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), waylandSocket_);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QDir(directory_.path()).filePath(QStringLiteral("client-run")));
    environment.insert(QStringLiteral("SWAYSOCK"), swaySocket_);
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    return environment;
}

bool SwayDesktop::activate(const TestWindow &window)
{
    return swaymsg({QStringLiteral("[app_id=\"^%1$\"] focus").arg(window.handle)}).has_value();
}

bool SwayDesktop::showEmptyDesktop()
{
    return swaymsg({QStringLiteral("workspace"), QStringLiteral("9")}).has_value();
}

bool SwayDesktop::pressKey()
{
    return runProgram(QStringLiteral("wtype"), {QStringLiteral("x")}, clientEnvironment()).has_value();
}

bool SwayDesktop::movePointer()
{
    zwlr_virtual_pointer_v1_motion(pointer_, 0, wl_fixed_from_int(5), wl_fixed_from_int(5));
    zwlr_virtual_pointer_v1_frame(pointer_);
    return input_->roundtrip();
}

bool SwayDesktop::click()
{
    constexpr uint32_t leftButton = 0x110; // BTN_LEFT
    for (const auto state : {WL_POINTER_BUTTON_STATE_PRESSED, WL_POINTER_BUTTON_STATE_RELEASED}) {
        zwlr_virtual_pointer_v1_button(pointer_, 0, leftButton, state);
        zwlr_virtual_pointer_v1_frame(pointer_);
    }
    return input_->roundtrip();
}

PlatformBackend SwayDesktop::services(NotificationCenter &activations, double idleThreshold)
{
    connection_ = WaylandConnection::open(clientEnvironment());
    if (!connection_)
        return {};
    const auto notifier = WaylandIdleNotifier::watch(connection_, idleThreshold);
    return {WlrootsWorkspace::watch(connection_, DesktopEntryIndex::fromSystem(), activations), notifier, notifier};
}

void SwayDesktop::settle()
{
    if (connection_)
        connection_->roundtrip();
    QCoreApplication::sendPostedEvents();
}

std::optional<QString> SwayDesktop::swaymsg(const QStringList &arguments) const
{
    return runProgram(QStringLiteral("swaymsg"), arguments, clientEnvironment());
}

} // namespace hourloom::test
