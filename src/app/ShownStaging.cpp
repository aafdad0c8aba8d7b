#include "app/ShownStaging.h"

#include "report/OwnStaging.h"

namespace quillon {

ShownStaging::ShownStaging()
{
    m_chores.setMaxThreadCount(1);
}

ShownStaging::~ShownStaging()
{
    Settle();
}

void ShownStaging::Take(std::unique_ptr<OwnStaging> staging)
{
    std::shared_ptr<OwnStaging> before = std::exchange(m_shown, std::move(staging));
    // The last hold on the file before goes with the chore, so it is deleted on that thread.
    m_chores.start([shown = m_shown, before = std::move(before)]() mutable {
        shown->publish();
        before.reset();
    });
}

QString ShownStaging::path() const
{
    return m_shown ? m_shown->path() : QString();
}

void ShownStaging::Settle()
{
    m_chores.waitForDone();
}

} // namespace quillon
