#pragma once

#include <QProcessEnvironment>
#include <QSocketNotifier>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct wl_display;
struct wl_registry;
struct wl_interface;

namespace hourloom {

// A private connection to the Wayland compositor, independent of the one Qt draws its windows
// through, read from the Qt main loop. It keeps the list of globals the compositor offers. When
// the compositor goes away every user is told once and the connection does nothing from then on.
class WaylandConnection {
public:
    struct Global {
        uint32_t name;
        QString interface;
        uint32_t version;
    };

    // The compositor's socket as a client finds it: WAYLAND_DISPLAY, taken relative to
    // XDG_RUNTIME_DIR unless it is an absolute path. None when the environment names no display.
    static std::optional<QString> socketPath(const QProcessEnvironment &environment);
    // None when no compositor answers at the environment's display. Returns with the globals known.
    static std::shared_ptr<WaylandConnection> open(const QProcessEnvironment &environment);
    ~WaylandConnection();
    WaylandConnection(const WaylandConnection &) = delete;
    WaylandConnection &operator=(const WaylandConnection &) = delete;

    wl_display *display() const { return display_; }
    bool isAlive() const { return !lost_; }

    const std::vector<Global> &globals() const { return globals_; }
    std::optional<Global> global(const QString &interface) const;
    // Binds the first global of the interface at the highest version both sides know, or returns
    // null when the compositor does not offer it. The caller owns the proxy.
    void *bind(const wl_interface &interface, uint32_t highestKnownVersion) const;

    // Sends everything asked for and handles everything the compositor sent before answering.
    // False when the connection is lost.
    bool roundtrip();
    // Sends the requests buffered so far. Whoever makes requests outside an event handler calls
    // this (or leaves it to the main loop, which flushes before it sleeps).
    void flush();
    void addLostHandler(std::function<void()> handler);

private:
    explicit WaylandConnection(wl_display *display);
    void readEvents();
    void checkAlive();

    static void addGlobal(void *self, wl_registry *registry, uint32_t name, const char *interface, uint32_t version);
    static void removeGlobal(void *self, wl_registry *registry, uint32_t name);

    wl_display *display_;
    wl_registry *registry_ = nullptr;
    std::vector<Global> globals_;
    std::unique_ptr<QSocketNotifier> readNotifier_;
    std::unique_ptr<QSocketNotifier> writeNotifier_;
    std::vector<std::function<void()>> lostHandlers_;
    bool lost_ = false;
};

} // namespace hourloom
