#include "platform/CheckedSave.h"

#include "platform/BoundedRead.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace quillon {

QString WriteFailureReason(QFileDevice& file, int err)
{
    const QString text = file.errorString();
    if (!text.isEmpty() && text != QLatin1String("Unknown error"))
        return text;
    // A short write on a full disk is no error to Qt, which then has no text for the one that
    // follows. The bytes it still holds tell why, and so does the file system.
    errno = 0;
    if (!file.flush() && errno != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    struct statvfs fs;
    if (file.handle() >= 0 && ::fstatvfs(file.handle(), &fs) == 0 &&
        (fs.f_bavail == 0 || fs.f_favail == 0))
        return QString::fromLocal8Bit(std::strerror(ENOSPC));
    if (err != 0)
        return QString::fromLocal8Bit(std::strerror(err));
    return QStringLiteral("Unknown error");
}

QString UnreplaceableReason(const QString& path)
{
    // stat follows every link: QSaveFile resolves them too and renames its new file over the
    // last target, so a link to /dev/sdX would put a regular file in the device's place.
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        const int err = errno;
        if (err == ENOENT)
            return {}; // a new file, or a link to one not yet made
        return QString::fromLocal8Bit(std::strerror(err));
    }
    if (S_ISREG(st.st_mode))
        return {};
    return QStringLiteral("%1, not a regular file; it is left as it is")
        .arg(FileKindText(st.st_mode));
}

bool OpenForReplace(QSaveFile& file, QString* reason)
{
    const QString refused = UnreplaceableReason(file.fileName());
    if (!refused.isEmpty()) {
        if (reason)
            *reason = refused;
        return false;
    }
    if (!file.open(QIODevice::WriteOnly)) {
        if (reason)
            *reason = file.errorString();
        return false;
    }
    return true;
}

bool CommitChecked(QSaveFile& file, QString* reason)
{
    errno = 0;
    if (file.error() != QFileDevice::NoError || !file.flush() ||
        file.error() != QFileDevice::NoError) {
        const int err = errno;
        if (reason)
            *reason = WriteFailureReason(file, err);
        file.cancelWriting();
        return false;
    }
    if (const QString refused = UnreplaceableReason(file.fileName()); !refused.isEmpty()) {
        if (reason)
            *reason = refused;
        file.cancelWriting(); // the new file goes with the QSaveFile
        return false;
    }
    errno = 0;
    if (!file.commit()) {
        const int err = errno;
        if (reason)
            *reason = WriteFailureReason(file, err);
        return false;
    }
    return true;
}

bool SaveChecked(const QString& path, const std::function<bool(QSaveFile&, QString*)>& write,
                 QString* reason)
{
    QSaveFile file(path);
    if (!OpenForReplace(file, reason))
        return false;
    QString why;
    errno = 0;
    if (!write(file, &why)) {
        const int err = errno;
        *reason = why.isEmpty() || why == QLatin1String("Unknown error")
                      ? WriteFailureReason(file, err)
                      : why;
        file.cancelWriting();
        return false;
    }
    return CommitChecked(file, reason);
}

} // namespace quillon
