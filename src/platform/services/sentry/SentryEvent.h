#pragma once

#include "core/ports/CrashReporterProtocol.h"
#include "core/ReportableError.h"

#include <QJsonObject>

namespace hourloom {

struct CrashReport;

// The events this client sends, as the JSON of a Sentry event item.
class SentryEvent {
public:
    static inline const QString sdkName = QStringLiteral("hourloom.sentry");
    static inline const QString sdkVersion = QStringLiteral("1.0.0");

    // A handled error: its type, its details under "extra", level "error".
    static QJsonObject error(const ReportableError &error, const CrashReportingOptions &options);

    // A crash of an earlier run: level "fatal", caught by the signal handler, not handled.
    static QJsonObject fatal(const CrashReport &crash, const CrashReportingOptions &options);

private:
    // event_id, timestamp, platform, level, release, environment, sdk and the operating system.
    static QJsonObject common(const QString &level, const QDateTime &timestamp, const CrashReportingOptions &options);
};

} // namespace hourloom
