#pragma once

#include "core/ports/EventTrackerProtocol.h"

#include <QDBusConnection>
#include <QObject>

#include <map>

namespace hourloom {

// Global input monitors over Mutter's user-active watch, which fires once at the next input of
// any kind after it is added. Mutter does not say which kind: every monitor hears of it as the
// first kind in its mask, so a click or a key release ends idleness here too.
class MutterInputMonitor final : public QObject, public EventTrackerProtocol {
    Q_OBJECT
public:
    explicit MutterInputMonitor(QDBusConnection bus);
    ~MutterInputMonitor() override;

    std::optional<MonitorToken> addGlobalMonitorForEvents(std::uint64_t mask, Handler handler) override;
    void removeMonitor(MonitorToken token) override;

private Q_SLOTS:
    void watchFired(uint watch);

private:
    void addWatch();
    void removeWatch();
    void tellMonitors();

    QDBusConnection bus_;
    std::map<MonitorToken, std::pair<std::uint64_t, Handler>> monitors_;
    MonitorToken nextToken_ = 1;
    // The watch Mutter holds for us, once it answered; a request still under way is identified by
    // its generation, so an answer that comes after the monitors went is withdrawn at once.
    std::optional<uint> watch_;
    std::uint64_t generation_ = 0;
    bool requesting_ = false;
};

} // namespace hourloom
