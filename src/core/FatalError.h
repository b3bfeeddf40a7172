#pragma once

#include <QString>

#include <source_location>

namespace hourloom {

// Stops the process at once: prints "Fatal error", the message and where it was raised
// to standard error and exits with a failure status. Used for faults of the build itself,
// such as a broken configuration document.
[[noreturn]] void fatalError(const QString &message,
                             std::source_location origin = std::source_location::current());

} // namespace hourloom
