#include "details/CrcCtrl.h"

#include "platform/CommandError.h"

#include <libdeflate.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace quillon {

namespace {

// Large reads keep the per-call overhead small against libdeflate's folding CRC.
constexpr std::size_t kBufferSize = 1 << 20;

[[noreturn]] void ThrowReadError(int err, const std::string& path)
{
    throw CommandError::fromErrno(err, QStringLiteral("Reading ") + QString::fromStdString(path));
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

void CrcCtrl::ComputeFile(const std::string& path)
{
    m_result.clear();
    m_value = 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        ThrowReadError(errno, path);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    if (!m_buffer)
        m_buffer = std::make_unique_for_overwrite<unsigned char[]>(kBufferSize);

    std::uint32_t crc = 0;
    for (;;) {
        const ssize_t got = ::read(fd, m_buffer.get(), kBufferSize);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            ThrowReadError(err, path);
        }
        crc = libdeflate_crc32(crc, m_buffer.get(), static_cast<std::size_t>(got));
    }
    ::close(fd);
    m_value = crc;
    m_result = HexText(crc);
}

} // namespace quillon
