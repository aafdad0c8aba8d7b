#include "app/StandardOutput.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace quillon {

namespace {

constexpr std::size_t kPiece = 1 << 16;

} // namespace

StandardOutput::StandardOutput(std::function<bool()> keepGoing) : m_keepGoing(std::move(keepGoing))
{}

bool StandardOutput::openDescriptor()
{
    return QFile::open(STDOUT_FILENO, QIODevice::WriteOnly, QFileDevice::DontCloseHandle);
}

bool StandardOutput::flush()
{
    std::size_t done = 0;
    while (done < m_pending.size()) {
        // The Ctrl+C handler does not restart calls: a blocked write returns here.
        if (m_keepGoing && !m_keepGoing()) {
            errno = EINTR;
            setErrorString(QStringLiteral("interrupted"));
            return false;
        }
        const ssize_t written =
            ::write(STDOUT_FILENO, m_pending.data() + done, m_pending.size() - done);
        if (written > 0) {
            done += static_cast<std::size_t>(written);
        } else if (written < 0 && errno != EINTR) {
            setErrorString(QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
    }
    m_pending.clear();
    return true;
}

qint64 StandardOutput::writeData(const char* data, qint64 size)
{
    m_pending.append(data, static_cast<std::size_t>(size));
    if (m_pending.size() >= kPiece && !flush())
        return -1;
    return size;
}

} // namespace quillon
