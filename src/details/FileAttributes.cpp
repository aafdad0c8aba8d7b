#include "details/FileAttributes.h"

#include "platform/PathRules.h"

#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <mutex>
#include <unordered_map>

namespace quillon {

namespace {

// File-system magic numbers (statfs f_type) of the volumes that keep DOS attributes.
constexpr long kMsdosMagic = 0x4d44;
constexpr long kExfatMagic = 0x2011BAB0;
constexpr long kNtfs3Magic = 0x7366746e;
constexpr long kFuseMagic = 0x65735546; // ntfs-3g mounts as fuseblk

enum class DosSource { None, FatIoctl, NtfsXattr };

// One statfs per device, not per file: a report reads thousands of files on few volumes.
DosSource SourceFor(int fd, dev_t device)
{
    static std::mutex lock;
    static std::unordered_map<dev_t, DosSource> known;
    {
        std::lock_guard guard(lock);
        if (auto it = known.find(device); it != known.end())
            return it->second;
    }
    struct statfs fs;
    if (::fstatfs(fd, &fs) != 0)
        return DosSource::None;
    DosSource source = DosSource::None;
    const long type = static_cast<long>(fs.f_type);
    if (type == kMsdosMagic || type == kExfatMagic)
        source = DosSource::FatIoctl;
    else if (type == kNtfs3Magic || type == kFuseMagic)
        source = DosSource::NtfsXattr;
    std::lock_guard guard(lock);
    known.emplace(device, source);
    return source;
}

bool ReadDosAttributes(const FileAt& file, DosSource source, std::uint32_t& attributes)
{
    if (source == DosSource::FatIoctl) {
        const int fd =
            ::openat(file.folder, file.name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            return false;
        __u32 value = 0;
        const bool ok = ::ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &value) == 0;
        ::close(fd);
        if (ok)
            attributes = value;
        return ok;
    }
    if (source == DosSource::NtfsXattr) {
        unsigned char raw[4];
        const int fd =
            ::openat(file.folder, file.name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            return false;
        const ssize_t got = ::fgetxattr(fd, "system.ntfs_attrib", raw, sizeof raw);
        ::close(fd);
        if (got != sizeof raw)
            return false;
        attributes = raw[0] | (raw[1] << 8) | (raw[2] << 16) | (std::uint32_t(raw[3]) << 24);
        return true;
    }
    return false;
}

} // namespace

std::string AttributeLettersOf(std::uint32_t attributes)
{
    switch (attributes) {
    case 1:
        return "R   ";
    case 2:
        return "H   ";
    case 3:
        return "RH  ";
    case 4:
        return "S   ";
    case 5:
        return "RS  ";
    case 6:
        return "HS  ";
    case 7:
        return "RHS ";
    case 32:
        return "A   ";
    case 33:
        return "RA  ";
    case 34:
        return "AH  ";
    case 35:
        return "ARH ";
    case 36:
        return "AS  ";
    case 38:
        return "AHS ";
    case 39:
        return "RAHS";
    default:
        return "    ";
    }
}

bool ReadFileAttributes(const FileAt& file, std::uint32_t& attributes)
{
    struct stat st;
    if (!StatNoFollow(file, st))
        return false;
    return ReadFileAttributes(file, st, attributes);
}

bool ReadFileAttributes(const FileAt& file, struct stat st, std::uint32_t& attributes)
{
    if (S_ISLNK(st.st_mode)) {
        // A link is described by what it points at; a dangling one is a bare reparse point.
        struct stat target;
        if (::fstatat(file.folder, file.name, &target, 0) != 0) {
            attributes = kAttrReparsePoint;
            return true;
        }
        st = target;
    } else if (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) {
        const int fd = ::openat(file.folder, file.name, O_PATH | O_CLOEXEC | O_NOFOLLOW);
        const DosSource source = fd >= 0 ? SourceFor(fd, st.st_dev) : DosSource::None;
        if (fd >= 0)
            ::close(fd);
        if (source != DosSource::None && ReadDosAttributes(file, source, attributes))
            return true;
    }

    std::uint32_t value = 0;
    if (!(st.st_mode & S_IWUSR))
        value |= kAttrReadOnly;
    if (LastComponent(file.name).starts_with('.'))
        value |= kAttrHidden;
    if (S_ISREG(st.st_mode))
        value |= kAttrArchive;
    else if (S_ISDIR(st.st_mode))
        value |= kAttrDirectory;
    else
        value |= kAttrDevice; // pipes, sockets and device nodes
    attributes = value;
    return true;
}

std::string AttributeLetters(const FileAt& file)
{
    std::uint32_t attributes = 0;
    if (!ReadFileAttributes(file, attributes))
        return {};
    return AttributeLettersOf(attributes);
}

} // namespace quillon
