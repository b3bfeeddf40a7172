#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

// CPU time and context switches of this process, all its threads counted: what a quiet stretch
// cost it.
struct ProcessTimes {
    long long cpuTicks = 0;
    long long contextSwitches = 0;

    static ProcessTimes now()
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
};

// Prints the median and p95 of the switch latencies (milliseconds), then lets the loop run idle
// for a while and prints what that cost. The exit status for main.
inline int reportSwitchesThenIdle(std::vector<double> latencies, int switches, int idleSeconds)
{
    if (latencies.empty()) {
        std::fprintf(stderr, "no switch reached the controller\n");
        return 1;
    }
    std::sort(latencies.begin(), latencies.end());
    const auto at = [&](double quantile) { return latencies[std::min(latencies.size() - 1, size_t(quantile * latencies.size()))]; };
    std::printf("switches measured: %zu of %d\n", latencies.size(), switches);
    std::printf("activation to handleAppSwitch: median %.2f ms, p95 %.2f ms, max %.2f ms\n", at(0.5), at(0.95), latencies.back());

    // Nothing to do: the loop should sleep in poll() the whole time.
    const ProcessTimes start = ProcessTimes::now();
    QTimer::singleShot(idleSeconds * 1000, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
    const ProcessTimes end = ProcessTimes::now();
    std::printf("idle %d s: %lld context switches (one is the timer that ends the wait), %lld CPU ticks\n", idleSeconds,
                end.contextSwitches - start.contextSwitches, end.cpuTicks - start.cpuTicks);
    return 0;
}
