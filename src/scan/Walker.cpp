#include "scan/Walker.h"

#include "platform/PathRules.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace quillon {

bool IsPseudoFileSystem(long long magic)
{
    switch (magic) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case PSTOREFS_MAGIC:
    case BPF_FS_MAGIC:
    case 0x62656570: // configfs
    case 0x65735543: // fusectl
    case 0x19800202: // mqueue
    case HUGETLBFS_MAGIC:
        return true;
    default:
        return false;
    }
}

namespace {

/// Devices of the devtmpfs mounts: devtmpfs reports tmpfs's magic number, so only the mount
/// table tells it from a tmpfs such as /tmp. Read once per walker, when first needed.
std::vector<dev_t> DevtmpfsDevices()
{
    std::vector<dev_t> devices;
    FILE* table = std::fopen("/proc/self/mountinfo", "re");
    if (!table)
        return devices;
    char* line = nullptr;
    std::size_t capacity = 0;
    while (::getline(&line, &capacity, table) > 0) {
        unsigned major = 0;
        unsigned minor = 0;
        const char* separator = std::strstr(line, " - ");
        if (separator && std::strncmp(separator, " - devtmpfs ", 12) == 0 &&
            std::sscanf(line, "%*s %*s %u:%u", &major, &minor) == 2)
            devices.push_back(makedev(major, minor));
    }
    std::free(line);
    std::fclose(table);
    return devices;
}

constexpr int kLocationUnknown = -2; // -1: no location matches
} // namespace

/// One folder being walked: its node, its descriptor and the entries read from it.
struct Walker::Frame {
    const FolderNode* node = nullptr;
    std::size_t pathSize = 0;        ///< m_path's length while this folder is the innermost
    int separators = 0;              ///< separators of the path, as PathDepth counts them
    int location = kLocationUnknown; ///< PathDepth's location of the path without its "/"
    int fd = -1;
    dev_t device = 0; ///< identity kept while fd is closed, to check the reopened one
    ino_t inode = 0;
    dev_t ownDevice = 0;       ///< the folder's device as it was entered
    std::vector<char> entries; ///< raw directory records
    std::size_t next = 0;      ///< offset of the next entry to handle
    bool filesExcluded = false;
};

namespace {

constexpr std::size_t kReadChunk = 32 * 1024;
constexpr std::size_t kKeepScratch = 4 * 1024 * 1024;

/// Reads every entry of the folder into scratch, then hands them to entries at their exact
/// size (a deep chain of folders keeps one small buffer per level, not one read buffer each).
/// Returns 0 or the errno that stopped the reading; what was read before it stays. Between
/// chunks it yields and stops early once stop() says so: a folder of a million entries takes a
/// second to read.
template <class Yield, class Stop>
int ReadAllEntries(int fd, std::vector<char>& scratch, std::vector<char>& entries, Yield&& yield,
                   Stop&& stop)
{
    constexpr std::size_t kYieldEvery = 256 * 1024; // some thousands of names
    std::size_t used = 0;
    std::size_t nextYield = kYieldEvery;
    int error = 0;
    for (;;) {
        if (used >= nextYield) {
            yield();
            if (stop())
                break;
            nextYield = used + kYieldEvery;
        }
        if (scratch.size() - used < kReadChunk)
            scratch.resize(std::max(scratch.size() * 2, used + kReadChunk));
        // At most one chunk a call: the buffer doubles, and one call into a large free part of
        // it reads hundreds of thousands of names before the next yield.
        const ssize_t n =
            ::getdents64(fd, scratch.data() + used, std::min(scratch.size() - used, kReadChunk));
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
    if (used > kKeepScratch) {
        // A huge folder hands over the buffer itself rather than a copy of it.
        entries.swap(scratch);
        entries.resize(used);
        scratch.clear();
        scratch.shrink_to_fit();
    } else {
        entries.assign(scratch.data(), scratch.data() + used);
    }
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
    for (const std::string& location : m_locations) {
        m_lowerLocations.push_back(AsciiLower(location));
        m_locationSeparators.push_back(IsRootPath(location) ? 0 : CountSeparatorsToEnd(location));
        m_longestLocation = std::max(m_longestLocation, location.size());
    }
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
    m_path = WithTrailingSlash(locationPath);
    enterFolder(nullptr, openPath.c_str());

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

void Walker::enterFolder(const FolderNode* parent, const char* name)
{
    // m_path already ends in the folder's "/".
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
    dev_t device = 0;
    struct stat own;
    if (fd >= 0 && ::fstat(fd, &own) == 0) {
        device = own.st_dev;
        if (!hasParent) {
            m_locationDevice = device;
            m_locationOnPseudo = onPseudoFileSystem(fd, device);
        } else if (device != m_stack[m_depth - 1].ownDevice &&
                   ((m_settings.oneFileSystem && device != m_locationDevice) ||
                    (!m_locationOnPseudo && onPseudoFileSystem(fd, device)))) {
            // A mount point left alone: the folder keeps its line, its content is not read.
            closeFd(fd);
        }
    }

    if (m_stack.size() == m_depth)
        m_stack.emplace_back();
    Frame& frame = m_stack[m_depth];
    frame.fd = fd;
    frame.ownDevice = device;
    frame.next = 0;
    frame.entries.clear();
    if (fd >= 0)
        error = ReadAllEntries(
            fd, m_scratch, frame.entries, [this] { m_hooks.Yield(); },
            [this] { return m_cancel && *m_cancel; });

    frame.filesExcluded = m_exclusions.IsExcludedFolder(WithoutTrailingSlash(m_path));
    frame.node = m_records.addFolder(parent, hasParent ? std::string(name) : m_path, error);
    frame.pathSize = m_path.size();
    if (m_settings.depthLimit != 0 && !hasParent) {
        // Only sub-folders are measured; a location's own count is the start of theirs.
        frame.separators = CountSeparatorsToEnd(m_path);
        frame.location = kLocationUnknown;
    }
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

bool Walker::onPseudoFileSystem(int fd, dev_t device)
{
    struct statfs info;
    if (::fstatfs(fd, &info) != 0)
        return false;
    if (IsPseudoFileSystem(static_cast<long long>(info.f_type)))
        return true;
    if (info.f_type != TMPFS_MAGIC)
        return false;
    if (!m_devtmpfsRead) {
        m_devtmpfs = DevtmpfsDevices();
        m_devtmpfsRead = true;
    }
    return std::find(m_devtmpfs.begin(), m_devtmpfs.end(), device) != m_devtmpfs.end();
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
    --m_depth;

    if (m_depth > 0) {
        // The sub-folder's entry of the parent is handled now that its walk is over.
        if (m_entryCount % 50 == 0)
            m_hooks.Status(QStringLiteral("Scanning... ") + QString::fromUtf8(m_path));
        ++m_entryCount;
        m_path.resize(m_stack[m_depth - 1].pathSize);
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
    struct stat st;
    bool statRead = false;
    if (type == DT_UNKNOWN) {
        // Some file systems do not fill in the type: ask.
        if (::fstatat(frame.fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT) // there, but its status cannot be read: listed as a file
                takeFile(frame, name, nullptr, errno);
            ++m_entryCount; // vanished meanwhile
            return;
        }
        type = S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
        statRead = true;
    }

    if (type == DT_DIR) {
        if (IsDotOrDotDot(name) || !m_settings.subFolders) {
            ++m_entryCount;
            return;
        }
        const std::size_t nameLength = std::strlen(name);
        m_path.resize(frame.pathSize);
        m_path.append(name, nameLength);
        int separators = 0;
        int location = -1;
        if (m_settings.depthLimit != 0) {
            location = locationOfChild(frame);
            separators = frame.separators;
            const int locationCount =
                location < 0 ? 0 : m_locationSeparators[static_cast<std::size_t>(location)];
            if (separators - locationCount > m_settings.depthLimit) {
                m_path.resize(frame.pathSize);
                ++m_entryCount;
                return;
            }
        }
        if (m_exclusions.includeSubFolders() && m_exclusions.IsExcludedFolder(m_path)) {
            m_path.resize(frame.pathSize);
            ++m_entryCount;
            return;
        }
        m_path += '/';
        enterFolder(frame.node, name); // counted when it is left
        Frame& child = m_stack[m_depth - 1];
        child.separators = separators + 1;
        child.location = location;
        return;
    }

    takeFile(frame, name, statRead ? &st : nullptr, 0);
    ++m_entryCount;
}

int Walker::locationOfChild(const Frame& frame) const
{
    // The location PathDepth would pick for m_path (the sub-folder, no "/" at its end): the
    // first whose lower-cased text begins the lower-cased path. A location that begins the
    // parent's path also begins this one, so only locations longer than the parent's path can
    // take over; while none is that long, the parent's answer stands and the path is not read.
    const std::size_t parentLength = frame.pathSize == 0 ? 0 : frame.pathSize - 1;
    if (frame.location != kLocationUnknown && parentLength >= m_longestLocation)
        return frame.location;
    const std::string lowerPath = AsciiLower(m_path);
    for (std::size_t i = 0; i < m_lowerLocations.size(); ++i) {
        const std::string& candidate = m_lowerLocations[i];
        if (candidate.size() <= lowerPath.size() &&
            std::string_view(lowerPath).substr(0, candidate.size()) == candidate)
            return static_cast<int>(i);
    }
    return -1;
}

void Walker::takeFile(Frame& frame, const char* name, const struct stat* known, int statError)
{
    // Links, pipes and devices are listed like files; a link is never followed.
    if ((!m_settings.includeHidden && IsHiddenName(name)) || frame.filesExcluded ||
        !m_settings.fileRecords)
        return;
    const std::size_t length = std::strlen(name);
    const std::string_view view(name, length);
    if (m_exclusions.IsExcludedFileName(view) || m_exclusions.IsExcludedExtension(view) ||
        !m_filter.takes(view))
        return;
    struct stat st;
    if (!known && statError == 0) {
        // Only ENOENT means the file is gone; any other failure (EACCES in a folder that can
        // be listed but not entered) keeps the file, its values unknown, and is told.
        if (::fstatat(frame.fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT)
                return;
            statError = errno;
        } else if (S_ISDIR(st.st_mode)) {
            return; // replaced by a folder since it was listed
        }
        known = &st;
    }
    if (statError != 0) {
        m_records.appendUnreadableFile(frame.node, std::string(view), statError);
        ++m_unreadableFiles;
        return;
    }
    m_records.appendFile(frame.node, std::string(view), *known);
    if (m_settings.sizeOnDisk || m_settings.countHardLinksOnce) {
        ScanRecord& record = m_records.items().back();
        if (m_settings.sizeOnDisk)
            record.size = static_cast<std::int64_t>(known->st_blocks) * 512;
        if (m_settings.countHardLinksOnce && known->st_nlink > 1 && !S_ISDIR(known->st_mode))
            record.repeatLink = !firstLink(known->st_dev, known->st_ino);
    }
}

bool Walker::firstLink(std::uint64_t device, std::uint64_t inode)
{
    // Only inodes with more than one link are kept: 16 bytes each, the table at most half
    // full. A (0, 0) pair never names a file, so it marks a free slot.
    if (2 * (m_linkedCount + 1) > m_linkedInodes.size()) {
        std::vector<std::pair<std::uint64_t, std::uint64_t>> old(
            std::max<std::size_t>(64, 2 * m_linkedInodes.size()));
        old.swap(m_linkedInodes);
        m_linkedCount = 0;
        for (const auto& [d, i] : old)
            if (d != 0 || i != 0)
                firstLink(d, i);
    }
    const std::size_t mask = m_linkedInodes.size() - 1;
    std::size_t slot = static_cast<std::size_t>((inode * 0x9E3779B97F4A7C15ULL) ^ device) & mask;
    for (;; slot = (slot + 1) & mask) {
        auto& entry = m_linkedInodes[slot];
        if (entry.first == device && entry.second == inode)
            return false;
        if (entry.first == 0 && entry.second == 0) {
            entry = {device, inode};
            ++m_linkedCount;
            return true;
        }
    }
}

} // namespace quillon
