#pragma once

#include "core/ports/TimerProtocol.h"

#include <QPointer>
#include <QTimer>

namespace hourloom {

// TimerProtocol over a QTimer of the thread that makes it (the main loop).
class MainLoopTimer final : public TimerProtocol {
public:
    MainLoopTimer(double interval, bool repeats, TimerBlock block);
    ~MainLoopTimer() override;

    void invalidate() override;
    bool isValid() const override;

    // The provider that the controllers use unless a test hands them another.
    static TimerProvider provider();

private:
    QPointer<QTimer> timer_;
    TimerBlock block_;
};

} // namespace hourloom
