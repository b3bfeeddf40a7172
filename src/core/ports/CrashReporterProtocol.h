#pragma once

#include "ErrorLoggerProtocol.h"

#include <QString>

#include <optional>

namespace hourloom {

struct CrashReportingOptions {
    QString dsn;
    QString environment;
    std::optional<QString> releaseName;
};

// The crash-reporting service: started once, it reports fatal signals (at the next launch) and
// the errors handed to its error logger.
class CrashReporterProtocol {
public:
    virtual ~CrashReporterProtocol() = default;
    virtual void start(const CrashReportingOptions &options) = 0;
    virtual const ErrorLoggerProtocol &errorLogger() const = 0;
};

} // namespace hourloom
