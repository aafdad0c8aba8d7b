#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

namespace quillon {

/// The scan's stopwatch: time since the last Reset, and an estimate of what is left, as texts
/// "00:00:07", "00:03:05" or, from one hour on, "1:2:05".
class buzTimer {
public:
    /// Milliseconds on a monotonic clock; tests inject their own.
    using Clock = std::function<qint64()>;

    /// Starts the watch (Reset). Without a clock the system's monotonic clock is used.
    explicit buzTimer(Clock clock = {});

    /// Start time = now.
    void Reset();

    /// Whole seconds since the start, as a time text.
    QString Elapsed() const;

    /// Estimated time still needed when done of total units are finished: the elapsed time
    /// scaled by what is left. Empty when total is below 1 or below done, or nothing is done.
    QString Remaining(double done, double total) const;

    /// The time text of a number of seconds (negative counts as 0).
    static QString FormatSeconds(qint64 seconds);

private:
    qint64 elapsedSeconds() const;

    Clock m_clock;
    qint64 m_start = 0;
};

} // namespace quillon
