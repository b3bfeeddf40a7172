#pragma once

#include "PlatformBackend.h"

#include <QString>

#include <optional>

namespace hourloom {

struct BackendAttempt {
    std::optional<PlatformBackend> backend;
    QString whyNot;
};

} // namespace hourloom
