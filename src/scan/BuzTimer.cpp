#include "scan/BuzTimer.h"

#include <chrono>
#include <cmath>

namespace quillon {

buzTimer::buzTimer(Clock clock) : m_clock(std::move(clock))
{
    if (!m_clock) {
        m_clock = [] {
            const auto now = std::chrono::steady_clock::now().time_since_epoch();
            return static_cast<qint64>(
                std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
        };
    }
    Reset();
}

void buzTimer::Reset()
{
    m_start = m_clock();
}

qint64 buzTimer::elapsedSeconds() const
{
    return (m_clock() - m_start) / 1000;
}

QString buzTimer::Elapsed() const
{
    return FormatSeconds(elapsedSeconds());
}

QString buzTimer::Remaining(double done, double total) const
{
    if (total < done || total < 1 || !(done > 0))
        return {};
    const double percent = done / total * 100;
    const double elapsed = static_cast<double>(elapsedSeconds());
    // Whole seconds, rounded half to even like the program's other number conversions.
    const double left = std::nearbyint((100 - percent) * (elapsed / percent));
    return FormatSeconds(static_cast<qint64>(left));
}

QString buzTimer::FormatSeconds(qint64 seconds)
{
    if (seconds < 0)
        seconds = 0;
    const auto two = [](qint64 n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    if (seconds <= 59)
        return QStringLiteral("00:00:") + two(seconds);
    qint64 minutes = seconds / 60;
    seconds -= 60 * minutes;
    if (minutes < 60)
        return QStringLiteral("00:") + two(minutes) + QLatin1Char(':') + two(seconds);
    const qint64 hours = minutes / 60;
    minutes -= 60 * hours;
    return QString::number(hours) + QLatin1Char(':') + QString::number(minutes) + QLatin1Char(':') +
           two(seconds);
}

} // namespace quillon
