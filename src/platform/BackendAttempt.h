#pragma once

#include "PlatformBackend.h"

#include <QString>

#include <optional>

namespace hourloom {

// What one desktop backend made of the session: its services, or one sentence saying why it
// cannot serve here.
struct BackendAttempt {
    std::optional<PlatformBackend> backend;
    QString whyNot;

    static BackendAttempt refused(QString why) { return {std::nullopt, std::move(why)}; }
};

} // namespace hourloom
