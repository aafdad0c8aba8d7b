#include "details/CrcCtrl.h"

#include "platform/CommandError.h"

#include <libdeflate.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace quillon {

namespace {

// Large reads keep the per-call overhead small against libdeflate's folding CRC.
constexpr std::size_t kBufferSize = 1 << 20;

[[noreturn]] void ThrowReadError(int err, const std::string& path)
{
    throw CommandError::fromErrno(err, QStringLiteral("Reading ") + QString::fromStdString(path));
}

// /proc and /sys list their files with size 0 and make them up when read: /proc/kmsg even
// hands out (and so takes away) the kernel's log messages.
bool IsPretendingEmpty(int fd)
{
    constexpr long kProcMagic = 0x9fa0;
    constexpr long kSysfsMagic = 0x62656572;
    struct stat st;
    if (::fstat(fd, &st) != 0 || st.st_size != 0)
        return false;
    struct statfs fs;
    if (::fstatfs(fd, &fs) != 0)
        return false;
    const long type = static_cast<long>(fs.f_type);
    return type == kProcMagic || type == kSysfsMagic;
}

// One pread from at, again after a signal; a read error throws as the checksum's.
std::size_t ReadAt(int fd, unsigned char* into, std::size_t size, off_t at, const std::string& path)
{
    for (;;) {
        const ssize_t got = ::pread(fd, into, size, at);
        if (got >= 0)
            return static_cast<std::size_t>(got);
        if (errno != EINTR)
            ThrowReadError(errno, path);
    }
}

} // namespace

CrcCtrl::CrcCtrl() = default;
CrcCtrl::~CrcCtrl() = default;

std::string CrcCtrl::HexText(std::uint32_t crc)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(8, '0');
    for (int i = 7; i >= 0; --i, crc >>= 4)
        text[static_cast<std::size_t>(i)] = kDigits[crc & 0xF];
    return text;
}

CrcCtrl::Outcome CrcCtrl::ComputeFile(const FileAt& file, const std::string& path)
{
    m_result.clear();
    m_value = 0;
    const int fd = OpenRegularNoFollow(file);
    if (fd < 0) {
        // The walk never follows a link, nor does the checksum; pipes and devices have none.
        if (errno == ELOOP || errno == EINVAL)
            return Outcome::Skipped;
        ThrowReadError(errno, path);
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    return ComputeOpen(fd, path);
}

CrcCtrl::Outcome CrcCtrl::ComputeOpen(int fd, const std::string& path)
{
    m_result.clear();
    m_value = 0;
    if (IsPretendingEmpty(fd))
        return Outcome::Skipped;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    if (!m_buffer)
        m_buffer = std::make_unique_for_overwrite<unsigned char[]>(kBufferSize);

    std::uint32_t crc = 0;
    // From the start, whatever was read of the file before (a tag, a version).
    for (off_t at = 0;;) {
        const std::size_t got = ReadAt(fd, m_buffer.get(), kBufferSize, at, path);
        if (got == 0)
            break;
        at += static_cast<off_t>(got);
        crc = libdeflate_crc32(crc, m_buffer.get(), got);
        if (m_interrupt && m_interrupt())
            return Outcome::Cancelled;
    }
    m_value = crc;
    m_result = HexText(crc);
    return Outcome::Done;
}

CrcCtrl::Outcome CrcCtrl::ComputePrefix(int fd, std::size_t limit, const std::string& path)
{
    m_result.clear();
    m_value = 0;
    m_read = 0;
    if (!m_buffer)
        m_buffer = std::make_unique_for_overwrite<unsigned char[]>(kBufferSize);
    limit = std::min(limit, kBufferSize);
    while (m_read < limit) {
        const std::size_t got =
            ReadAt(fd, m_buffer.get() + m_read, limit - m_read, static_cast<off_t>(m_read), path);
        if (got == 0)
            break;
        m_read += got;
    }
    m_value = libdeflate_crc32(0, m_buffer.get(), m_read);
    m_result = HexText(m_value);
    return Outcome::Done;
}

} // namespace quillon
