#pragma once

#include "CrashReporterProtocol.h"
#include "LaunchAtLoginProtocol.h"
#include "core/NotificationCenter.h"
#include "ScriptLibraryProtocol.h"
#include "TimerProtocol.h"
#include "UpdaterProtocol.h"
#include "URLSessionProtocol.h"
#include "KeychainHelperProtocol.h"
#include "EventSourceProtocol.h"
#include "EventTrackerProtocol.h"
#include "WorkspaceProtocol.h"
#include "OutboxProtocol.h"

#include <memory>

namespace hourloom {

// The platform's services the application is composed of; the platform layer fills it in and
// tests hand in substitutes.
struct ApplicationServices {
    std::shared_ptr<UpdaterProtocol> updater;
    std::shared_ptr<KeychainHelperProtocol> keychainHelper;
    std::shared_ptr<URLSessionProtocol> urlSession;
    NotificationCenter *workspaceCenter = nullptr;
    std::shared_ptr<WorkspaceProtocol> workspace;
    std::shared_ptr<EventSourceProtocol> eventSource;
    std::shared_ptr<EventTrackerProtocol> eventTracker;
    ScriptLibraryType scriptLibraryType;
    std::shared_ptr<CrashReporterProtocol> crashReporter;
    // Where errors go outside production, where crash reporting never starts.
    const ErrorLoggerProtocol *localErrorLogger = nullptr;
    std::shared_ptr<LaunchAtLoginProtocol> launchAtLogin;
    TimerProvider timerProvider;
    // Where ended sessions wait for the service; without one they wait in memory only.
    std::shared_ptr<OutboxProtocol> outbox;
};

} // namespace hourloom
