#include "scan/Walker.h"

#include "platform/PathRules.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon {

/// One folder being walked: its node, its descriptor and the entries read from it.
struct Walker::Frame {
    const FolderNode* node = nullptr;
    int fd = -1;
    dev_t device = 0; ///< identity kept while fd is closed, to check the reopened one
    ino_t inode = 0;
    std::vector<char> entries; ///< raw directory records
    std::size_t next = 0;      ///< offset of the next entry to handle
    bool filesExcluded = false;
};

namespace {

constexpr std::size_t kReadChunk = 32 * 1024;

/// Reads every entry of the folder into scratch, then hands them to entries at their exact
/// size (a deep chain of folders keeps one small buffer per level, not one read buffer each).
/// Returns 0 or the errno that stopped the reading; what was read before it stays.
int ReadAllEntries(int fd, std::vector<char>& scratch, std::vector<char>& entries)
{
    std::size_t used = 0;
    int error = 0;
    for (;;) {
        if (scratch.size() - used < kReadChunk)
            scratch.resize(std::max(scratch.size() * 2, used + kReadChunk));
        const ssize_t n = ::getdents64(fd, scratch.data() + used, scratch.size() - used);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            break;
        }
        used += static_cast<std::size_t>(n);
    }
    entries.assign(scratch.data(), scratch.data() + used);
    return error;
}

bool IsDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

} // namespace

Walker::Walker(RecordList& records, const ExclusionList& exclusions,
               std::vector<std::string> locations, ProgressHooks hooks, const bool* cancel)
    : m_records(records), m_exclusions(exclusions), m_locations(std::move(locations)),
      m_hooks(std::move(hooks)), m_cancel(cancel)
{
}

Walker::~Walker()
{
    unwind();
}

void Walker::closeFd(int& fd)
{
    if (fd >= 0) {
        ::close(fd);
        --m_openDescriptors;
        fd = -1;
    }
}

void Walker::WalkLocation(std::string_view locationPath, const WalkSettings& settings)
{
    m_settings = settings;
    m_filter = TypeFilter(settings.filter);
    m_entryCount = 0;

    const std::string openPath(locationPath);
    enterFolder(nullptr, WithTrailingSlash(locationPath), openPath.c_str());

    while (m_depth > 0) {
        const std::size_t top = m_depth - 1;
        Frame& frame = m_stack[top];
        if (frame.next >= frame.entries.size()) {
            leaveFolder();
            continue;
        }
        const auto* entry =
            reinterpret_cast<const struct dirent64*>(frame.entries.data() + frame.next);
        frame.next += entry->d_reclen;

        m_hooks.Yield();
        if (m_cancel && *m_cancel) {
            unwind();
            break;
        }
        handleEntry(top, entry->d_name, entry->d_type);
    }
}

void Walker::enterFolder(const FolderNode* parent, std::string path, const char* name)
{
    const bool hasParent = m_depth > 0;
    int fd = -1;
    int error = 0;
    if (!m_cancel || !*m_cancel) {
        // The location itself may be a link the user chose; below it no link is followed.
        const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (hasParent ? O_NOFOLLOW : 0);
        fd = hasParent ? ::openat(m_stack[m_depth - 1].fd, name, flags) : ::open(name, flags);
        if (fd < 0)
            error = errno;
        else
            ++m_openDescriptors;
    }

    if (m_stack.size() == m_depth)
        m_stack.emplace_back();
    Frame& frame = m_stack[m_depth];
    frame.fd = fd;
    frame.next = 0;
    frame.entries.clear();
    if (fd >= 0)
        error = ReadAllEntries(fd, m_scratch, frame.entries);

    frame.filesExcluded = m_exclusions.IsExcludedFolder(WithoutTrailingSlash(path));
    frame.node = m_records.addFolder(parent, std::move(path), error);
    if (error != 0)
        m_unreadable.push_back(frame.node);
    if (m_settings.folderRecords)
        m_records.appendFolderRecord(frame.node);
    ++m_depth;

    // Keep the number of open descriptors bounded however deep the tree goes: past the
    // budget the parent lets go of its descriptor and gets it back through ".." later.
    if (hasParent && fd >= 0 && m_openDescriptors > m_descriptorBudget) {
        Frame& parentFrame = m_stack[m_depth - 2];
        struct stat st;
        if (parentFrame.fd >= 0 && ::fstat(parentFrame.fd, &st) == 0) {
            parentFrame.device = st.st_dev;
            parentFrame.inode = st.st_ino;
            closeFd(parentFrame.fd);
        }
    }
}

void Walker::leaveFolder()
{
    Frame& frame = m_stack[m_depth - 1];
    if (m_depth >= 2) {
        Frame& parent = m_stack[m_depth - 2];
        if (parent.fd < 0 && frame.fd >= 0) {
            const int fd = ::openat(frame.fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            struct stat st;
            if (fd >= 0 && ::fstat(fd, &st) == 0 && st.st_dev == parent.device &&
                st.st_ino == parent.inode) {
                parent.fd = fd;
                ++m_openDescriptors;
            } else if (fd >= 0) {
                // The parent moved away meanwhile: its remaining entries cannot be reached.
                ::close(fd);
            }
        }
    }
    closeFd(frame.fd);
    const FolderNode* node = frame.node;
    --m_depth;

    if (m_depth > 0) {
        // The sub-folder's entry of the parent is handled now that its walk is over.
        if (m_entryCount % 50 == 0)
            m_hooks.Status(QStringLiteral("Scanning... ") + QString::fromUtf8(node->path));
        ++m_entryCount;
    }
}

void Walker::unwind()
{
    while (m_depth > 0) {
        closeFd(m_stack[m_depth - 1].fd);
        --m_depth;
    }
}

void Walker::handleEntry(std::size_t frameIndex, const char* name, unsigned char type)
{
    Frame& frame = m_stack[frameIndex];
    std::int64_t knownSize = -1;
    if (type == DT_UNKNOWN) {
        // Some file systems do not fill in the type: ask.
        struct stat st;
        if (::fstatat(frame.fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            ++m_entryCount; // vanished meanwhile
            return;
        }
        type = S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
        knownSize = st.st_size;
    }

    if (type == DT_DIR) {
        if (IsDotOrDotDot(name) || !m_settings.subFolders) {
            ++m_entryCount;
            return;
        }
        std::string path = frame.node->path;
        path += name;
        if (m_settings.depthLimit != 0 && PathDepth(path, m_locations) > m_settings.depthLimit) {
            ++m_entryCount;
            return;
        }
        if (m_exclusions.includeSubFolders() && m_exclusions.IsExcludedFolder(path)) {
            ++m_entryCount;
            return;
        }
        path += '/';
        enterFolder(frame.node, std::move(path), name); // counted when it is left
        return;
    }

    takeFile(frame, name, knownSize);
    ++m_entryCount;
}

void Walker::takeFile(Frame& frame, const char* name, std::int64_t knownSize)
{
    // Links, pipes and devices are listed like files; a link is never followed.
    if (name[0] == '.' || frame.filesExcluded)
        return;
    const std::size_t length = std::strlen(name);
    const std::string_view view(name, length);
    if (m_exclusions.IsExcludedFileName(view) || m_exclusions.IsExcludedExtension(view) ||
        !m_filter.takes(view))
        return;
    if (knownSize < 0) {
        struct stat st;
        if (::fstatat(frame.fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(st.st_mode))
            return; // vanished, or replaced by a folder since it was listed
        knownSize = st.st_size;
    }
    m_records.appendFile(frame.node, std::string(view), knownSize);
}

} // namespace quillon
