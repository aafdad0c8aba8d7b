#include "platform/ThrottledYield.h"

#include <QCoreApplication>

namespace quillon {

ThrottledYield::ThrottledYield(int intervalMs) : m_intervalMs(intervalMs)
{
    m_clock.start();
}

void ThrottledYield::operator()()
{
    if (m_clock.elapsed() < m_intervalMs)
        return;
    QCoreApplication::processEvents();
    m_clock.restart();
}

} // namespace quillon
