#pragma once

namespace quillon::test {

/// While it lives, this thread obeys the permission bits even as root: it takes
/// CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH out of its effective set (they stay permitted, so
/// they come back afterwards). A mode-000 file is then unreadable, as for an ordinary user.
class NoReadOverride {
public:
    NoReadOverride();
    ~NoReadOverride();
    NoReadOverride(const NoReadOverride&) = delete;
    NoReadOverride& operator=(const NoReadOverride&) = delete;

    /// For a child process: removes both capabilities from the bounding set, so that a program
    /// started by root still obeys the permission bits. Safe to call between fork and exec.
    static void DropForChild();

private:
    bool m_dropped = false;
};

} // namespace quillon::test
