#pragma once

// The two figures every desktop backend is measured by: how long an activation the desktop was
// asked for takes to reach handleAppSwitch, and how often the process wakes up while nothing
// happens.
#include "agent/TrackingStack.h"
#include "core/Configuration.h"
#include "core/MainLoopTimer.h"
#include "platform/desktops/PlatformBackend.h"
#include "platform/desktops/wayland/WaylandIdleNotifier.h"
#include "tracking/AppSwitchTracker.h"
#include "tracking/IdleTimeController.h"
#include "tracking/IdleTimeTracker.h"
#include "tracking/SessionBatchController.h"

#include "support/DesktopDriver.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace hourloom::bench {

// The sizes of the two figures from the command line, [switches] [idle seconds].
struct Figures {
    int switches;
    int idleSeconds;
};

inline Figures figuresFrom(int argc, char *argv[], int idleSeconds)
{
    return {argc > 1 ? std::atoi(argv[1]) : 200, argc > 2 ? std::atoi(argv[2]) : idleSeconds};
}

// True when the desktop is up with its windows; else says why.
inline bool isUp(const test::DesktopDriver &desktop)
{
    if (!desktop.error().isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(desktop.error()));
    return desktop.error().isEmpty();
}

// The agent's tracking on the desktop's services, as it starts at log-in: every activation the
// workspace posts becomes a session, however short, and no idle poll falls due while measuring.
inline std::shared_ptr<SessionBatchController> trackSwitches(NotificationCenter &center, const PlatformBackend &services)
{
    const TrackingStack stack = TrackingStack::build({.activations = center,
                                                      .workspace = services.workspace,
                                                      .idleSeconds = services.eventSource,
                                                      .input = services.eventTracker,
                                                      .timerProvider = MainLoopTimer::provider()});
    stack.idle->idlePollingInterval = 24 * 3600;
    stack.controller->minSessionDuration = 0;
    stack.tracker->startObserving(stack.controller, true);
    return stack.controller;
}

// What the kernel counts for this process: CPU time, and how often its threads were switched
// out (woke up or were preempted).
struct ProcessTimes {
    long long cpuTicks = 0;
    long long contextSwitches = 0;
};

inline ProcessTimes processTimes()
{
    ProcessTimes times;
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (stat.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> fields = stat.readAll().split(')').last().trimmed().split(' ');
        times.cpuTicks = fields.value(11).toLongLong() + fields.value(12).toLongLong(); // utime + stime
    }
    for (const QString &task : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status(QStringLiteral("/proc/self/task/%1/status").arg(task));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("voluntary_ctxt_switches:") || line.startsWith("nonvoluntary_ctxt_switches:"))
                times.contextSwitches += line.split(':').last().trimmed().toLongLong();
        }
    }
    return times;
}

// Asks for `switches` activations (request(i) alternates between two applications, the desktop's
// second and third windows) and prints
// the time from each request to the new session in the batch. False when none arrived.
inline bool measureSwitches(const SessionBatchController &controller, int switches, const std::function<void(int)> &request)
{
    std::vector<double> latencies;
    for (int i = 0; i < switches; ++i) {
        const qsizetype before = controller.sessionBatch()->appSessions().size();
        QElapsedTimer elapsed;
        elapsed.start();
        request(i);
        // A one-shot timer bounds the wait: a lost activation cannot hang the measurement.
        QTimer deadline;
        deadline.setSingleShot(true);
        deadline.start(5000);
        while (controller.sessionBatch()->appSessions().size() == before && deadline.isActive())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);

        if (controller.sessionBatch()->appSessions().size() != before)
            latencies.push_back(elapsed.nsecsElapsed() / 1e6);
    }
    if (latencies.empty()) {
        std::fprintf(stderr, "no switch reached the controller\n");
        return false;
    }
    std::sort(latencies.begin(), latencies.end());
    const auto at = [&](double quantile) { return latencies[std::min(latencies.size() - 1, size_t(quantile * latencies.size()))]; };
    std::printf("switches measured: %zu of %d\n", latencies.size(), switches);
    std::printf("activation to handleAppSwitch: median %.2f ms, p95 %.2f ms, max %.2f ms\n", at(0.5), at(0.95), latencies.back());
    return true;
}

// Runs the main loop for the given time with nothing to do, and prints what that cost: the loop
// should sleep in poll() the whole time, but for a compositor's idle notice once MIN_IDLE_TIME
// has passed without input.
inline void measureIdle(int seconds)
{
    const ProcessTimes start = processTimes();
    QTimer::singleShot(seconds * 1000, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
    const ProcessTimes end = processTimes();
    std::printf("idle %d s: %lld context switches (one is the timer that ends the wait), %lld CPU ticks\n", seconds,
                end.contextSwitches - start.contextSwitches, end.cpuTicks - start.cpuTicks);
}

// Both figures on a desktop with the agent's services there: `request` asks for each activation
// (the desktop's second and third windows in turn), `beforeIdle` readies what the agent holds
// while the user is away. The compositor's idle notice, where the desktop sends one, is told of.
inline int measureDesktop(test::DesktopDriver &desktop, const Figures &figures, const std::function<void(const test::TestWindow &)> &request,
                          const std::function<void(const PlatformBackend &)> &beforeIdle = {})
{
    NotificationCenter center;
    const PlatformBackend services = desktop.services(center, Configuration::minIdleTime());
    if (!services.workspace || !services.eventSource) {
        std::fprintf(stderr, "the desktop offers no workspace or idle source to the agent\n");
        return 1;
    }
    const auto controller = trackSwitches(center, services);
    if (!measureSwitches(*controller, figures.switches, [&](int i) { request(desktop.windows()[1 + i % 2]); }))
        return 1;
    const auto notice = std::dynamic_pointer_cast<WaylandIdleNotifier>(services.eventSource);
    if (notice)
        std::printf("idle notice after %.0f s without input (%s)\n", notice->thresholdSeconds(), qPrintable(notice->protocol()));
    if (beforeIdle)
        beforeIdle(services);
    measureIdle(figures.idleSeconds);
    if (notice)
        std::printf("user idle at the end: %s\n", notice->isIdle() ? "yes" : "no");
    controller->appSwitchTracker()->stopObserving();
    IdleTimeTracker::eventSource.reset();
    return 0;
}

} // namespace hourloom::bench
