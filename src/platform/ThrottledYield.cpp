#include "platform/ThrottledYield.h"

#include <QCoreApplication>

namespace quillon {

ThrottledYield::ThrottledYield(int intervalMs, bool input)
    : m_intervalMs(intervalMs), m_input(input)
{
    m_clock.start();
}

void ThrottledYield::operator()()
{
    if (m_clock.elapsed() < m_intervalMs)
        return;
    QCoreApplication::processEvents(m_input ? QEventLoop::AllEvents
                                            : QEventLoop::ExcludeUserInputEvents);
    m_clock.restart();
}

} // namespace quillon
