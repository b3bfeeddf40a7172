#include "KWinDesktop.h"
#include "XDesktop.h"

#include "fake-input-client-protocol.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <wayland-client.h>

#include <algorithm>
#include <cstring>

namespace hourloom::test {
namespace {

const QString kwinService = QStringLiteral("org.kde.KWin");

QDBusMessage scriptingCall(const QString &method, const QVariantList &arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kwinService, QStringLiteral("/Scripting"), QStringLiteral("org.kde.kwin.Scripting"), method);
    call.setArguments(arguments);
    return call;
}

// A JavaScript string literal of the text.
QString quoted(const QString &text)
{
    QString escaped = text;
    escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    return u'"' + escaped + u'"';
}

void stop(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

struct FakeInputGlobal {
    org_kde_kwin_fake_input *fakeInput = nullptr;
};

void announceGlobal(void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t version)
{
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0) {
        static_cast<FakeInputGlobal *>(data)->fakeInput = static_cast<org_kde_kwin_fake_input *>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, std::min(version, 4u)));
    }
}

void removeGlobal(void *, wl_registry *, uint32_t) {}

const wl_registry_listener registryListener{announceGlobal, removeGlobal};

} // namespace

KWinDesktop::KWinDesktop()
{
    const QString kwinBinary = QStandardPaths::findExecutable(QStringLiteral("kwin_wayland"));
    if (kwinBinary.isEmpty()) {
        error_ = QStringLiteral("kwin_wayland is not installed (package kwin-wayland)");
        return;
    }
    // A plain copy: without the file capabilities of the installed binary it starts anywhere.
    if (!QFile::copy(kwinBinary, directory_.filePath(QStringLiteral("kwin_wayland")))) {
        error_ = QStringLiteral("cannot copy ") + kwinBinary;
        return;
    }
    QFile::setPermissions(directory_.filePath(QStringLiteral("kwin_wayland")), QFile::ReadOwner | QFile::ExeOwner);
    QDir(directory_.path()).mkdir(QStringLiteral("runtime"));
    QFile::setPermissions(directory_.filePath(QStringLiteral("runtime")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir(directory_.path()).mkdir(QStringLiteral("config"));
    socket_ = QStringLiteral("wayland-hourloom");

    const QString busSocket = directory_.filePath(QStringLiteral("bus"));
    busAddress_ = QStringLiteral("unix:path=") + busSocket;
    bus_ = std::make_unique<QProcess>();
    bus_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    bus_->start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                                                QStringLiteral("--address=") + busAddress_});
    if (!bus_->waitForStarted(10000) || !XDesktop::spinUntil([&] { return QFile::exists(busSocket); })) {
        error_ = QStringLiteral("dbus-daemon did not start (package dbus)");
        return;
    }
    if (!bus().isConnected()) {
        error_ = QStringLiteral("cannot connect to the private session bus");
        return;
    }
    startKWin();
}

KWinDesktop::~KWinDesktop()
{
    if (kwin_)
        stopKWin();
    QDBusConnection::disconnectFromBus(QStringLiteral("hourloom-kwin-desktop"));
    if (bus_)
        stop(*bus_);
}

QDBusConnection KWinDesktop::bus() const
{
    return QDBusConnection::connectToBus(busAddress_, QStringLiteral("hourloom-kwin-desktop"));
}

bool KWinDesktop::startKWin()
{
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
                  QStringLiteral("--socket"), socket_, QStringLiteral("--xwayland"), QStringLiteral("--no-lockscreen"),
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
    stop(*kwin_);
    for (auto &client : clients_)
        stop(*client);
    clients_.clear();
    XDesktop::spinUntil([&] { return !bus().interface()->isServiceRegistered(kwinService); });
}

QProcessEnvironment KWinDesktop::clientEnvironment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), directory_.filePath(QStringLiteral("runtime")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), directory_.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress_);
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), socket_);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    return environment;
}

bool KWinDesktop::openWaylandWindow(const QString &desktopFileName)
{
    auto window = std::make_unique<QProcess>();
    QProcessEnvironment environment = clientEnvironment();
    window->setProcessEnvironment(environment);
    window->setProcessChannelMode(QProcess::ForwardedChannels);
    window->start(QStringLiteral(QT_TEST_WINDOW), {desktopFileName, desktopFileName});
    clients_.push_back(std::move(window));
    if (XDesktop::spinUntil([&] { return hasWindow(desktopFileName); }))
        return true;
    kwinOutput_ += kwin_->readAll();
    const QProcess &started = *clients_.back();
    error_ = QStringLiteral("no window %1 appeared (its process %2, exit code %3); KWin is %4 and said: %5")
                 .arg(desktopFileName, started.state() == QProcess::Running ? QStringLiteral("runs") : QStringLiteral("ended"))
                 .arg(started.exitCode())
                 .arg(kwin_->state() == QProcess::Running ? QStringLiteral("running") : QStringLiteral("gone"),
                      QString::fromLocal8Bit(kwinOutput_.right(2000)));
    return false;
}

bool KWinDesktop::openXWindow(const QString &program, const QStringList &arguments, const QString &windowClass)
{
    QProcessEnvironment environment = clientEnvironment();
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("DISPLAY"), xDisplay_);
    auto window = std::make_unique<QProcess>();
    window->setProcessEnvironment(environment);
    window->setProcessChannelMode(QProcess::ForwardedChannels);
    window->start(program, arguments);
    clients_.push_back(std::move(window));
    return XDesktop::spinUntil([&] { return hasWindow(windowClass.toLower()); });
}

bool KWinDesktop::hasWindow(const QString &window)
{
    QString line;
    const QString marker = QStringLiteral("hourloom-test-%1").arg(scripts_ + 1);
    return runScript(QStringLiteral("print(%1 + ' ' + workspace.clientList().some(c => c.desktopFileName == %2 || c.resourceClass == %2));")
                         .arg(quoted(marker), quoted(window)),
                     marker, &line)
        && line.endsWith(QLatin1String(" true"));
}

bool KWinDesktop::activate(const QString &window)
{
    QString line;
    const QString marker = QStringLiteral("hourloom-test-%1").arg(scripts_ + 1);
    return runScript(activation(window, marker), marker, &line) && line.endsWith(QLatin1String(" true"));
}

QString KWinDesktop::requestActivation(const QString &window)
{
    return startScript(activation(window, QStringLiteral("hourloom-test-%1").arg(scripts_ + 1)), false);
}

QString KWinDesktop::activation(const QString &window, const QString &marker)
{
    // An X11 window becomes active only once it took the focus: the script cannot wait for that.
    return QStringLiteral("const found = workspace.clientList().find(c => c.desktopFileName == %2 || c.resourceClass == %2);"
                          "if (found) workspace.activeClient = found;"
                          "print(%1 + ' ' + Boolean(found));")
        .arg(quoted(marker), quoted(window));
}

QString KWinDesktop::startScript(const QString &source, bool waitUntilRunning)
{
    const QString name = QStringLiteral("hourloom-test-%1").arg(++scripts_);
    QFile file(directory_.filePath(name + QStringLiteral(".js")));
    if (!file.open(QIODevice::WriteOnly) || file.write(source.toUtf8()) < 0)
        return QString();
    file.close();
    const QDBusMessage loaded = bus().call(scriptingCall(QStringLiteral("loadScript"), {file.fileName(), name}));
    const int id = loaded.arguments().value(0, -1).toInt();
    if (id < 0)
        return QString();
    const QDBusMessage run = QDBusMessage::createMethodCall(kwinService, QStringLiteral("/%1").arg(id), QStringLiteral("org.kde.kwin.Script"),
                                                           QStringLiteral("run"));
    if (waitUntilRunning)
        bus().call(run);
    else
        bus().asyncCall(run);
    return name;
}

bool KWinDesktop::runScript(const QString &source, const QString &marker, QString *line)
{
    const QString name = startScript(source, true);
    if (name.isEmpty())
        return false;
    const QByteArray wanted = "js: " + marker.toUtf8() + ' ';
    bool printed = XDesktop::spinUntil([&] {
        kwinOutput_ += kwin_->readAll();
        const qsizetype at = kwinOutput_.indexOf(wanted);
        if (at < 0)
            return false;
        if (line)
            *line = QString::fromUtf8(kwinOutput_.mid(at + 4, kwinOutput_.indexOf('\n', at) - at - 4));
        return true;
    });
    unloadScript(name);
    return printed;
}

void KWinDesktop::unloadScript(const QString &name)
{
    bus().call(scriptingCall(QStringLiteral("unloadScript"), {name}));
}

bool KWinDesktop::movePointer()
{
    const QByteArray socketPath = QFile::encodeName(directory_.filePath(QStringLiteral("runtime/") + socket_));
    wl_display *display = wl_display_connect(socketPath.constData());
    if (!display)
        return false;
    FakeInputGlobal global;
    wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, &global);
    wl_display_roundtrip(display);
    const bool offered = global.fakeInput != nullptr;
    if (offered) {
        org_kde_kwin_fake_input_authenticate(global.fakeInput, "Hourloom tests", "a user coming back");
        org_kde_kwin_fake_input_pointer_motion(global.fakeInput, wl_fixed_from_int(5), wl_fixed_from_int(5));
        wl_display_roundtrip(display);
        org_kde_kwin_fake_input_destroy(global.fakeInput);
    }
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return offered;
}

} // namespace hourloom::test
