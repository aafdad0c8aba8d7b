#include "details/FileOwner.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace quillon {

namespace {

std::string LookUpAccount(uid_t uid)
{
    long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? static_cast<std::size_t>(hint) : 16384);
    for (;;) {
        struct passwd entry;
        struct passwd* found = nullptr;
        const int err = ::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found);
        if (err == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (err != 0 || !found || !found->pw_name)
            return {};
        return found->pw_name;
    }
}

} // namespace

std::string AccountName(uid_t uid)
{
    static std::mutex lock;
    static std::unordered_map<uid_t, std::string> names;
    std::lock_guard guard(lock);
    if (auto it = names.find(uid); it != names.end())
        return it->second;
    return names.emplace(uid, LookUpAccount(uid)).first->second;
}

std::string FileOwnerName(const FileAt& file)
{
    struct stat st;
    if (!StatNoFollow(file, st))
        return {};
    return AccountName(st.st_uid);
}

} // namespace quillon
