#pragma once

#include "core/ReportableError.h"

namespace hourloom {

// Hands an error to the crash reporter. Stateless: holders keep a pointer to one instance, and
// whatever the reporter answers is ignored.
class ErrorLoggerProtocol {
public:
    virtual ~ErrorLoggerProtocol() = default;
    virtual void capture(const ReportableError &error) const = 0;
};

} // namespace hourloom
