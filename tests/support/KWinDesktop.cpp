#include "KWinDesktop.h"
#include "XDesktop.h"

#include "platform/desktops/entries/DesktopEntryIndex.h"
#include "platform/desktops/kde/KWinScript.h"
#include "platform/desktops/kde/KWinWorkspace.h"
#include "platform/desktops/wayland/WaylandIdleNotifier.h"

#include "fake-input-client-protocol.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

namespace hourloom::test {
namespace {

const QString kwinService = QStringLiteral("org.kde.KWin");
const QString busName = QStringLiteral("hourloom-kwin-desktop");

// A JavaScript string literal of the text.
QString quoted(const QString &text)
{
    QString escaped = text;
    escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    return u'"' + escaped + u'"';
}

} // namespace

KWinDesktop::KWinDesktop()
{
    backendName = QStringLiteral("KDE");
    idleProtocol = QStringLiteral("ext_idle_notifier_v1");
    windows_ = {alphaWindow(QStringLiteral("alpha")), betaWindow(QStringLiteral("org.hourloom.Beta")), unlistedWindow(QStringLiteral("hourloom-gamma"))};
    const QString kwinBinary = QStandardPaths::findExecutable(QStringLiteral("kwin_wayland"));
    // A plain copy: without the file capabilities of the installed binary it starts anywhere.
    if (kwinBinary.isEmpty() || !QFile::copy(kwinBinary, directory_.filePath(QStringLiteral("kwin_wayland")))) {
        error_ = QStringLiteral("kwin_wayland is not installed (package kwin-wayland)");
        return;
    }
    if (!bus_.error().isEmpty() || !bus().isConnected()) {
        error_ = QStringLiteral("no private session bus: ") + bus_.error();
        return;
    }
    QFile::setPermissions(directory_.filePath(QStringLiteral("kwin_wayland")), QFile::ReadOwner | QFile::ExeOwner);
    QDir(directory_.path()).mkdir(QStringLiteral("runtime"));
    QFile::setPermissions(directory_.filePath(QStringLiteral("runtime")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir(directory_.path()).mkdir(QStringLiteral("config"));
    if (!startKWin())
        return;
    QProcessEnvironment xwayland = clientEnvironment();
    xwayland.remove(QStringLiteral("WAYLAND_DISPLAY"));
    xwayland.insert(QStringLiteral("DISPLAY"), xDisplay_);
    if (!openXAndQtWindows(clients_, xwayland, clientEnvironment()))
        error_ = QStringLiteral("the test windows did not show; KWin said: ") + QString::fromLocal8Bit(kwinOutput_.right(2000));
}

KWinDesktop::~KWinDesktop()
{
    connection_.reset();
    if (kwin_)
        stopKWin();
    QDBusConnection::disconnectFromBus(busName);
}

QDBusConnection KWinDesktop::bus() const
{
    return QDBusConnection::connectToBus(bus_.address(), busName);
}

bool KWinDesktop::startKWin()
{
    // KWin 6 leaves Xwayland out, and starts its argument without a display, when the X11 socket
    // folder is missing (a fresh root where no X server ran yet) or owned by another user than root
    // or KWin's (a test's sway, run as a user of its own, made it): make it as a booted system does.
    ::mkdir("/tmp/.X11-unix", 01777);
    if (geteuid() == 0 && ::chown("/tmp/.X11-unix", 0, 0) == 0)
        ::chmod("/tmp/.X11-unix", 01777);
    const QString displayFile = directory_.filePath(QStringLiteral("xdisplay"));
    QFile::remove(displayFile);
    QProcessEnvironment environment = clientEnvironment();
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert(QStringLiteral("KWIN_WAYLAND_NO_PERMISSION_CHECKS"), QStringLiteral("1"));
    kwin_ = std::make_unique<QProcess>();
    kwin_->setProcessEnvironment(environment);
    kwin_->setProcessChannelMode(QProcess::MergedChannels);
    kwinOutput_.clear();
    // KWin starts its argument once Xwayland is up: that tells the X display, and that KWin is ready.
    kwin_->start(directory_.filePath(QStringLiteral("kwin_wayland")),
                 {QStringLiteral("--virtual"), QStringLiteral("--width"), QStringLiteral("1280"), QStringLiteral("--height"), QStringLiteral("800"),
                  QStringLiteral("--socket"), QStringLiteral("wayland-hourloom"), QStringLiteral("--xwayland"), QStringLiteral("--no-lockscreen"),
                  QStringLiteral("--no-global-shortcuts"), QStringLiteral("sh -c 'printf %s \"$DISPLAY\" > %1'").arg(displayFile)});
    const bool up = XDesktop::spinUntil([&] {
        kwinOutput_ += kwin_->readAll();
        QFile file(displayFile);
        if (kwin_->state() == QProcess::NotRunning || !file.open(QIODevice::ReadOnly))
            return false;
        xDisplay_ = QString::fromLocal8Bit(file.readAll()).trimmed();
        return !xDisplay_.isEmpty() && bus().interface()->isServiceRegistered(kwinService);
    }, 60000);
    if (!up)
        error_ = QStringLiteral("kwin_wayland did not start: ") + QString::fromLocal8Bit(kwinOutput_.right(2000));
    return up;
}

void KWinDesktop::stopKWin()
{
    stopProcess(*kwin_);
    clients_.stopAll();
    XDesktop::spinUntil([&] { return !bus().interface()->isServiceRegistered(kwinService); });
}

QProcessEnvironment KWinDesktop::clientEnvironment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), directory_.filePath(QStringLiteral("runtime")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), directory_.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus_.address());
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-hourloom"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    return environment;
}

bool KWinDesktop::activate(const TestWindow &window)
{
    // The script prints its name and whether it found the window; it is unloaded once it did.
    const QString name = runScript(QStringLiteral("print(scriptName + ' ' + activateWindow(%1));").arg(quoted(window.handle)));
    const QByteArray wanted = "js: " + name.toUtf8() + ' ';
    QByteArray answer;
    const bool answered = !name.isEmpty() && XDesktop::spinUntil([&] {
        kwinOutput_ += kwin_->readAll();
        const qsizetype at = kwinOutput_.indexOf(wanted);
        answer = at < 0 ? QByteArray() : kwinOutput_.mid(at + wanted.size(), kwinOutput_.indexOf('\n', at) - at - wanted.size());
        return at >= 0;
    });
    if (!name.isEmpty())
        unloadScript(name);
    return answered && answer == "true";
}

QString KWinDesktop::runScript(const QString &body)
{
    // KWin 6 calls windows what KWin 5 called clients, and keeps the case of an X11 class that
    // KWin 5 lowers. An X11 window becomes active only once it took the focus: the script cannot
    // wait for that.
    static const QString activateWindow = QStringLiteral(
        "function activateWindow(name) {"
        "  const windowsApi = workspace.windowList !== undefined;"
        "  const found = (windowsApi ? workspace.windowList() : workspace.clientList()).find(w => w.desktopFileName == name || String(w.resourceClass).toLowerCase() == name);"
        "  if (found && windowsApi) workspace.activeWindow = found; else if (found) workspace.activeClient = found;"
        "  return Boolean(found);"
        "}\n");
    const QString name = QStringLiteral("hourloom-test-%1").arg(++scripts_);
    QFile file(directory_.filePath(name + QStringLiteral(".js")));
    const QString source = QStringLiteral("const scriptName = %1;\n").arg(quoted(name)) + activateWindow + body;
    if (!file.open(QIODevice::WriteOnly) || file.write(source.toUtf8()) < 0)
        return QString();
    file.close();
    return QCoro::waitFor(KWinScript::loadAndRun(bus(), name, file.fileName())).isEmpty() ? name : QString();
}

void KWinDesktop::unloadScript(const QString &name)
{
    bus().call(QDBusMessage::createMethodCall(kwinService, QStringLiteral("/Scripting"), QStringLiteral("org.kde.kwin.Scripting"), QStringLiteral("unloadScript"))
               << name);
}

bool KWinDesktop::fakeInput(const std::function<void(org_kde_kwin_fake_input *)> &send)
{
    const auto input = WaylandConnection::open(clientEnvironment());
    const auto offered = input ? input->global(QString::fromLatin1(org_kde_kwin_fake_input_interface.name)) : std::nullopt;
    // Keys came with version 4.
    if (!offered || offered->version < 4)
        return false;
    auto *fake = static_cast<org_kde_kwin_fake_input *>(input->bind(org_kde_kwin_fake_input_interface, 4));
    org_kde_kwin_fake_input_authenticate(fake, "Hourloom tests", "a user coming back");
    send(fake);
    const bool sent = input->roundtrip();
    org_kde_kwin_fake_input_destroy(fake);
    return sent;
}

bool KWinDesktop::pressKey()
{
    constexpr uint32_t keyX = 45; // KEY_X
    return fakeInput([](org_kde_kwin_fake_input *fake) {
        org_kde_kwin_fake_input_keyboard_key(fake, keyX, WL_KEYBOARD_KEY_STATE_PRESSED);
        org_kde_kwin_fake_input_keyboard_key(fake, keyX, WL_KEYBOARD_KEY_STATE_RELEASED);
    });
}

bool KWinDesktop::movePointer()
{
    return fakeInput([](org_kde_kwin_fake_input *fake) { org_kde_kwin_fake_input_pointer_motion(fake, wl_fixed_from_int(5), wl_fixed_from_int(5)); });
}

PlatformBackend KWinDesktop::services(NotificationCenter &activations, double idleThreshold)
{
    connection_ = WaylandConnection::open(clientEnvironment());
    const auto notifier = connection_ ? WaylandIdleNotifier::watch(connection_, idleThreshold) : nullptr;
    QString whyNot;
    return {KWinWorkspace::start(bus(), DesktopEntryIndex::fromSystem(), activations, &whyNot), notifier, notifier};
}

void KWinDesktop::settle()
{
    if (connection_)
        connection_->roundtrip();
    // KWin's script tells the workspace over the bus: what it told before this call has arrived
    // after it, then the calls are delivered, then the activations they posted.
    bus().call(QDBusMessage::createMethodCall(kwinService, QStringLiteral("/"), QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping")));
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents();
}

} // namespace hourloom::test
