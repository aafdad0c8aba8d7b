#include "report/StagingFile.h"

#include "platform/CommandError.h"
#include "report/RtfFraming.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace quillon {

namespace {

// Large enough that a million-line report costs a few thousand write calls.
constexpr std::size_t kFlushAt = 256 * 1024;

} // namespace

ReportStagingFile::ReportStagingFile(const QString& path) : m_path(path)
{
    const QByteArray name = QFile::encodeName(path);
    if (::unlink(name.constData()) != 0 && errno != ENOENT)
        throw CommandError::fromErrno(errno, path);
    // O_NOFOLLOW: a link put in the file's place must not redirect the report elsewhere.
    m_fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (m_fd < 0)
        throw CommandError::fromErrno(errno, path);
    m_buffer.reserve(kFlushAt + 4096);
}

ReportStagingFile::~ReportStagingFile()
{
    if (m_fd >= 0) {
        // Best effort: the layout has already failed or been given up.
        try {
            flush();
        } catch (const CommandError&) {
        }
        ::close(m_fd);
    }
}

void ReportStagingFile::writeLine(std::string_view bytes)
{
    // Flush before appending: if the flush fails, this line is not yet in the buffer, so a
    // repeated call adds it once.
    if (m_buffer.size() >= kFlushAt)
        flush();
    m_buffer.append(bytes);
    m_buffer.append("\r\n");
}

void ReportStagingFile::writeLine(const QString& text)
{
    writeLine(ToWindows1252(text));
}

void ReportStagingFile::flush()
{
    if (m_fd < 0)
        throw CommandError::fromErrno(EBADF, m_path);
    std::size_t done = 0;
    while (done < m_buffer.size()) {
        const ssize_t n = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            m_buffer.erase(0, done);
            throw CommandError::fromErrno(err, m_path);
        }
        done += static_cast<std::size_t>(n);
    }
    m_buffer.clear();
}

void ReportStagingFile::close()
{
    if (m_fd < 0)
        return;
    flush();
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 && errno != EINTR)
        throw CommandError::fromErrno(errno, m_path);
}

} // namespace quillon
