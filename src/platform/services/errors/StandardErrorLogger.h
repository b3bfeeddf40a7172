#pragma once

#include "core/ports/ErrorLoggerProtocol.h"

namespace hourloom {

// Stands in for the crash reporter until the agent has one: one line per error on standard
// error, with the error's type and details.
class StandardErrorLogger final : public ErrorLoggerProtocol {
public:
    static const StandardErrorLogger *shared();

    void capture(const ReportableError &error) const override;

    // The line written for the error, without its line feed.
    static QString line(const ReportableError &error);
};

} // namespace hourloom
