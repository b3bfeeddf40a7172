#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace hourloom {

// The program a running process executes; none when the process is gone or not ours to see.
std::optional<QString> executableOfProcess(std::uint32_t pid);

} // namespace hourloom
