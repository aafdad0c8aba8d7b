#include "platform/BoundedRead.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillon {

namespace {

std::optional<QByteArray> Refuse(SmallFileError kind, const QString& text, SmallFileError* error,
                                 QString* reason)
{
    if (error)
        *error = kind;
    if (reason)
        *reason = text;
    return std::nullopt;
}

QString ErrnoText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

} // namespace

std::optional<QByteArray> ReadSmallFile(const QString& path, qint64 limit, SmallFileError* error,
                                        QString* reason)
{
    if (error)
        *error = SmallFileError::None;
    // O_NONBLOCK: opening a FIFO for reading must not wait for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int err = errno;
        return Refuse(err == ENOENT ? SmallFileError::Missing : SmallFileError::Unreadable,
                      ErrnoText(err), error, reason);
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Refuse(SmallFileError::NotRegular, QStringLiteral("not a regular file"), error,
                      reason);
    }
    if (st.st_size > limit) {
        ::close(fd);
        return Refuse(SmallFileError::TooLarge, QStringLiteral("larger than %1 bytes").arg(limit),
                      error, reason);
    }
    // A file that grows while it is read is still cut at the limit.
    QByteArray bytes;
    bytes.resize(static_cast<qsizetype>(std::min<qint64>(st.st_size, limit)) + 1);
    qint64 done = 0;
    for (;;) {
        if (done == bytes.size()) {
            if (done > limit)
                break;
            bytes.resize(static_cast<qsizetype>(std::min<qint64>(done * 2 + 4096, limit + 1)));
        }
        const ssize_t got =
            ::read(fd, bytes.data() + done, static_cast<size_t>(bytes.size() - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int err = errno;
            ::close(fd);
            return Refuse(SmallFileError::Unreadable, ErrnoText(err), error, reason);
        }
        if (got == 0)
            break;
        done += got;
    }
    ::close(fd);
    if (done > limit)
        return Refuse(SmallFileError::TooLarge, QStringLiteral("larger than %1 bytes").arg(limit),
                      error, reason);
    bytes.resize(static_cast<qsizetype>(done));
    return bytes;
}

} // namespace quillon
