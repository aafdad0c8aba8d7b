#pragma once

#include <QElapsedTimer>

namespace quillon {

/// Lets the event loop run from inside a long loop, but at most once per interval, so a
/// per-item call costs almost nothing while Cancel, timers and repaints stay live.
class ThrottledYield {
public:
    /// With input false, user input waits (repaints and timers still run): for work during
    /// which the user must not change what is being worked on.
    explicit ThrottledYield(int intervalMs = 20, bool input = true);

    /// Processes pending events when the interval has passed since the last time.
    void operator()();

private:
    QElapsedTimer m_clock;
    qint64 m_intervalMs;
    bool m_input;
};

} // namespace quillon
