#include "platform/BoundedRead.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace quillon {

namespace {

bool Refuse(SmallFileError kind, const QString& text, SmallFileError* error, QString* reason)
{
    if (error)
        *error = kind;
    if (reason)
        *reason = text;
    return false;
}

QString ErrnoText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

// The kernel's interface file systems: their files claim to be regular and empty, and reading
// one may take something away (a kernel message) or never end.
bool IsKernelInterface(int fd)
{
    struct statfs fs;
    if (::fstatfs(fd, &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
        return true;
    default:
        return false;
    }
}

} // namespace

bool IsRegularFileDescriptor(int fd);

namespace {

// The descriptor of a regular file at path, or -1 with the refusal (and what the node is) set.
int OpenRegularFd(const QByteArray& path, SmallFileError* error, QString* reason, struct stat& st,
                  QString* kind = nullptr)
{
    // O_NONBLOCK: opening a FIFO for reading must not wait for a writer; O_NOCTTY: a terminal
    // given by name must not become ours.
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        const int err = errno;
        Refuse(err == ENOENT ? SmallFileError::Missing : SmallFileError::Unreadable, ErrnoText(err),
               error, reason);
        return -1;
    }
    if (::fstat(fd, &st) != 0 || !IsRegularFileDescriptor(fd)) {
        const QString what =
            S_ISREG(st.st_mode) ? QStringLiteral("a kernel interface") : FileKindText(st.st_mode);
        ::close(fd);
        if (kind)
            *kind = what;
        Refuse(SmallFileError::NotRegular, what + QStringLiteral(", not a regular file"), error,
               reason);
        return -1;
    }
    // Reads of a regular file never block; the flag goes so reads behave as usual.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

} // namespace

bool IsRegularFileDescriptor(int fd)
{
    struct stat st;
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && !IsKernelInterface(fd);
}

QString FileKindText(unsigned mode)
{
    if (S_ISCHR(mode))
        return QStringLiteral("a character device");
    if (S_ISBLK(mode))
        return QStringLiteral("a block device");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    return QStringLiteral("a file that cannot be examined");
}

bool OpenRegularFile(const QString& path, QFile& file, SmallFileError* error, QString* reason)
{
    return OpenRegularFile(QFile::encodeName(path), file, error, reason, nullptr);
}

bool OpenRegularFile(const QByteArray& path, QFile& file, SmallFileError* error, QString* reason,
                     QString* kind)
{
    if (error)
        *error = SmallFileError::None;
    struct stat st {};
    const int fd = OpenRegularFd(path, error, reason, st, kind);
    if (fd < 0)
        return false;
    file.setFileName(QFile::decodeName(path));
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return Refuse(SmallFileError::Unreadable, file.errorString(), error, reason);
    }
    return true;
}

std::optional<QByteArray> ReadSmallFile(const QString& path, qint64 limit, SmallFileError* error,
                                        QString* reason)
{
    if (error)
        *error = SmallFileError::None;
    struct stat st {};
    const int fd = OpenRegularFd(QFile::encodeName(path), error, reason, st);
    if (fd < 0)
        return std::nullopt;
    const QString tooLarge =
        QStringLiteral("larger than %1 bytes, the most such a file holds").arg(limit);
    if (st.st_size > limit) {
        ::close(fd);
        Refuse(SmallFileError::TooLarge, tooLarge, error, reason);
        return std::nullopt;
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
            Refuse(SmallFileError::Unreadable, ErrnoText(err), error, reason);
            return std::nullopt;
        }
        if (got == 0)
            break;
        done += got;
    }
    ::close(fd);
    if (done > limit) {
        Refuse(SmallFileError::TooLarge, tooLarge, error, reason);
        return std::nullopt;
    }
    bytes.resize(static_cast<qsizetype>(done));
    return bytes;
}

} // namespace quillon
