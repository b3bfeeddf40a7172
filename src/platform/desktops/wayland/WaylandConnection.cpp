#include "WaylandConnection.h"

#include "core/Log.h"

#include <wayland-client.h>

#include <QAbstractEventDispatcher>
#include <QDir>
#include <QFile>

#include <cerrno>

namespace hourloom {

std::optional<QString> WaylandConnection::socketPath(const QProcessEnvironment &environment)
{
    const QString display = environment.value(QStringLiteral("WAYLAND_DISPLAY"));
    if (display.isEmpty())
        return std::nullopt;
    if (QDir::isAbsolutePath(display))
        return display;
    const QString runtimeDir = environment.value(QStringLiteral("XDG_RUNTIME_DIR"));
    if (runtimeDir.isEmpty())
        return std::nullopt;
    return QDir(runtimeDir).filePath(display);
}

std::shared_ptr<WaylandConnection> WaylandConnection::open(const QProcessEnvironment &environment)
{
    const std::optional<QString> path = socketPath(environment);
    if (!path)
        return nullptr;
    // An absolute name is used as it is, whatever this process's own environment says.
    wl_display *display = wl_display_connect(QFile::encodeName(*path).constData());
    if (!display)
        return nullptr;
    std::shared_ptr<WaylandConnection> connection(new WaylandConnection(display));
    if (!connection->roundtrip())
        return nullptr;
    return connection;
}

WaylandConnection::WaylandConnection(wl_display *display)
    : display_(display)
    , readNotifier_(std::make_unique<QSocketNotifier>(wl_display_get_fd(display), QSocketNotifier::Read))
    , writeNotifier_(std::make_unique<QSocketNotifier>(wl_display_get_fd(display), QSocketNotifier::Write))
{
    static const wl_registry_listener listener = {&WaylandConnection::addGlobal, &WaylandConnection::removeGlobal};
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &listener, this);

    writeNotifier_->setEnabled(false);
    QObject::connect(readNotifier_.get(), &QSocketNotifier::activated, readNotifier_.get(), [this] { readEvents(); });
    QObject::connect(writeNotifier_.get(), &QSocketNotifier::activated, writeNotifier_.get(), [this] { flush(); });
    // Requests are buffered: whatever was asked during this turn of the loop goes out before the
    // loop sleeps, so nobody waits on an answer to a request still in the buffer.
    if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance())
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, readNotifier_.get(), [this] {
            if (!lost_) {
                wl_display_dispatch_pending(display_);
                flush();
            }
        });
}

WaylandConnection::~WaylandConnection()
{
    readNotifier_.reset();
    writeNotifier_.reset();
    wl_registry_destroy(registry_);
    wl_display_disconnect(display_);
}

std::optional<WaylandConnection::Global> WaylandConnection::global(const QString &interface) const
{
    for (const Global &offered : globals_) {
        if (offered.interface == interface)
            return offered;
    }
    return std::nullopt;
}

void *WaylandConnection::bind(const wl_interface &interface, uint32_t highestKnownVersion) const
{
    const std::optional<Global> offered = global(QString::fromLatin1(interface.name));
    if (!offered || lost_)
        return nullptr;
    return wl_registry_bind(registry_, offered->name, &interface, std::min(offered->version, highestKnownVersion));
}

bool WaylandConnection::roundtrip()
{
    if (!lost_ && wl_display_roundtrip(display_) < 0)
        checkAlive();
    return !lost_;
}

void WaylandConnection::addLostHandler(std::function<void()> handler)
{
    lostHandlers_.push_back(std::move(handler));
}

void WaylandConnection::readEvents()
{
    if (lost_)
        return;
    // Events already read (by a roundtrip, say) must be dispatched before a read may start.
    while (wl_display_prepare_read(display_) != 0) {
        if (wl_display_dispatch_pending(display_) < 0) {
            checkAlive();
            return;
        }
    }
    if (wl_display_read_events(display_) < 0 && errno != EAGAIN) {
        checkAlive();
        return;
    }
    wl_display_dispatch_pending(display_);
    // Handlers may have asked something.
    flush();
}

void WaylandConnection::flush()
{
    if (lost_)
        return;
    const bool blocked = wl_display_flush(display_) < 0 && errno == EAGAIN;
    // A full socket: the rest goes out once the compositor has read some of it.
    writeNotifier_->setEnabled(blocked);
    checkAlive();
}

void WaylandConnection::checkAlive()
{
    if (lost_ || wl_display_get_error(display_) == 0)
        return;
    lost_ = true;
    readNotifier_->setEnabled(false);
    writeNotifier_->setEnabled(false);
    logLine(lcDesktop, QStringLiteral("Lost the connection to the Wayland compositor: frontmost application and idle tracking stop"));
    for (const auto &handler : lostHandlers_)
        handler();
}

void WaylandConnection::addGlobal(void *self, wl_registry *, uint32_t name, const char *interface, uint32_t version)
{
    static_cast<WaylandConnection *>(self)->globals_.push_back({name, QString::fromLatin1(interface), version});
}

void WaylandConnection::removeGlobal(void *self, wl_registry *, uint32_t name)
{
    auto &globals = static_cast<WaylandConnection *>(self)->globals_;
    std::erase_if(globals, [name](const Global &global) { return global.name == name; });
}

} // namespace hourloom
