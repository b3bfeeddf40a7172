#include "MutterIdleSource.h"

#include "MutterIdleMonitor.h"

#include <QDBusMessage>
#include <QDBusReply>

namespace hourloom {
namespace {

// The poll runs on the main loop: a compositor that hangs must not hold it up for long. Mutter
// answers from memory in well under a millisecond.
constexpr int idleQueryTimeoutMs = 500;

} // namespace

MutterIdleSource::MutterIdleSource(QDBusConnection bus)
    : bus_(std::move(bus))
{
}

double MutterIdleSource::secondsSinceLastEventType(int, std::uint32_t) const
{
    using namespace MutterIdleMonitor;
    const QDBusMessage question = QDBusMessage::createMethodCall(service, corePath, interface, QStringLiteral("GetIdletime"));
    const QDBusReply<qulonglong> milliseconds = bus_.call(question, QDBus::Block, idleQueryTimeoutMs);
    return milliseconds.isValid() ? milliseconds.value() / 1000.0 : 0;
}

} // namespace hourloom
