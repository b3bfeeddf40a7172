#pragma once

#include "PlatformBackend.h"

#include <QString>

#include <optional>

namespace hourloom {

// What one desktop backend made of the session: its services, or one sentence saying why it
// cannot serve here. A backend that sees the frontmost application but not idleness leaves the
// idle source and input monitor out and says why in whyNoIdle.
struct BackendAttempt {
    std::optional<PlatformBackend> backend;
    QString whyNot{};
    QString whyNoIdle{};

    static BackendAttempt refused(QString why) { return {std::nullopt, std::move(why), {}}; }
    static BackendAttempt started(PlatformBackend backend) { return {std::move(backend), {}, {}}; }
    static BackendAttempt withoutIdle(std::shared_ptr<WorkspaceProtocol> workspace, QString why)
    {
        return {PlatformBackend{std::move(workspace), nullptr, nullptr}, {}, std::move(why)};
    }
};

} // namespace hourloom
