#pragma once

#include "core/NotificationCenter.h"
#include "core/ports/EventSourceProtocol.h"
#include "core/ports/EventTrackerProtocol.h"
#include "core/ports/WorkspaceProtocol.h"

#include <QProcessEnvironment>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace hourloom {

struct BackendAttempt;

// The desktop services tracking runs on, chosen once for the session the agent runs in. This is
// the one place that decides between desktops.
struct PlatformBackend {
    std::shared_ptr<WorkspaceProtocol> workspace;
    std::shared_ptr<EventSourceProtocol> eventSource;
    std::shared_ptr<EventTrackerProtocol> eventTracker;

    struct Candidate {
        QString name;
        std::function<BackendAttempt(NotificationCenter &, const QProcessEnvironment &)> start;
    };

    // The desktop backends that can serve this kind of session, most specific first: the Wayland
    // ones on a Wayland session (an X11 client sees nothing useful there), else X11.
    static std::vector<Candidate> candidatesFor(const QProcessEnvironment &environment);

    // The first candidate that starts. Each one that cannot says why in one line on standard
    // output; when none starts the agent keeps running without tracking, and says so.
    static PlatformBackend choose(const std::vector<Candidate> &candidates, NotificationCenter &activations,
                                  const QProcessEnvironment &environment);

    static PlatformBackend forDesktop(NotificationCenter &activations,
                                      const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
};

} // namespace hourloom
