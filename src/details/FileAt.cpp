#include "details/FileAt.h"

#include <cerrno>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon {

namespace {

// Opens the "/"-separated components of rest one by one below the folder fd (which it takes
// over and closes). Returns the last descriptor, or -1 with errno.
int OpenComponents(int fd, std::string_view rest)
{
    std::string component;
    std::size_t at = 0;
    while (fd >= 0 && at < rest.size()) {
        std::size_t end = rest.find('/', at);
        if (end == std::string_view::npos)
            end = rest.size();
        component.assign(rest.substr(at, end - at));
        at = end + 1;
        if (component.empty() || component == ".")
            continue;
        const int next = ::openat(fd, component.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        const int err = errno;
        ::close(fd);
        fd = next;
        errno = err;
    }
    return fd;
}

} // namespace

FolderCursor::~FolderCursor()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool FolderCursor::moveTo(std::string_view path)
{
    std::string wanted(path);
    if (wanted.empty() || wanted.back() != '/')
        wanted.push_back('/');
    if (m_fd >= 0 && wanted == m_path)
        return true;
    int fd = -1;
    std::string_view rest;
    if (m_fd >= 0 && wanted.starts_with(m_path)) {
        fd = m_fd; // a sub-folder of the current one: only the rest is opened
        rest = std::string_view(wanted).substr(m_path.size());
    } else {
        if (m_fd >= 0)
            ::close(m_fd);
        // A path the kernel takes whole costs one call instead of one for each folder in it.
        if (wanted.size() < PATH_MAX) {
            m_fd = ::open(wanted.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            if (m_fd >= 0 || errno != ENAMETOOLONG) {
                m_path = std::move(wanted);
                return m_fd >= 0;
            }
        }
        fd = ::open(wanted.front() == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
        rest = wanted;
    }
    m_fd = OpenComponents(fd, rest);
    m_path = std::move(wanted);
    return m_fd >= 0;
}

bool StatNoFollow(const FileAt& file, struct stat& st)
{
    return ::fstatat(file.folder, file.name, &st, AT_SYMLINK_NOFOLLOW) == 0;
}

int OpenRegularNoFollow(const FileAt& file)
{
    // Looked at before opening, so a device node is never opened (a tape would rewind).
    struct stat st;
    if (!StatNoFollow(file, st))
        return -1;
    if (S_ISLNK(st.st_mode)) {
        errno = ELOOP;
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    // Replaced between the look and the open: refuse the new one unless it is regular too.
    return OpenListedRegular(file, st);
}

int OpenListedRegular(const FileAt& file, struct stat& st)
{
    const int fd = ::openat(file.folder, file.name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0)
        return -1;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

} // namespace quillon
