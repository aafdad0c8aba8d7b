#pragma once

#include <QElapsedTimer>

namespace quillon {

/// Lets the event loop run from inside a long loop, but at most once per interval, so a
/// per-item call costs almost nothing while Cancel, timers and repaints stay live.
class ThrottledYield {
public:
    explicit ThrottledYield(int intervalMs = 20);

    /// Processes pending events when the interval has passed since the last time.
    void operator()();

private:
    QElapsedTimer m_clock;
    qint64 m_intervalMs;
};

} // namespace quillon
