#include "support/NoReadOverride.h"

#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace quillon::test {

namespace {

constexpr unsigned kBits = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);

bool SetEffective(bool on)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0)
        return false;
    if (on)
        data[0].effective |= kBits & data[0].permitted;
    else
        data[0].effective &= ~kBits;
    return ::syscall(SYS_capset, &header, data) == 0;
}

} // namespace

NoReadOverride::NoReadOverride() : m_dropped(SetEffective(false)) {}

NoReadOverride::~NoReadOverride()
{
    if (m_dropped)
        SetEffective(true);
}

void NoReadOverride::DropForChild()
{
    ::prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0);
    ::prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0);
}

} // namespace quillon::test
