#include "platform/CheckedSave.h"

#include <cerrno>
#include <cstring>

namespace quillon {

namespace {

// Qt answers "Unknown error" for some failures whose errno is still telling.
QString ReasonOf(const QSaveFile& file, int err)
{
    const QString text = file.errorString();
    if ((text.isEmpty() || text == QLatin1String("Unknown error")) && err != 0)
        return QString::fromLocal8Bit(std::strerror(err));
    return text.isEmpty() ? QStringLiteral("Unknown error") : text;
}

} // namespace

bool CommitChecked(QSaveFile& file, QString* reason)
{
    errno = 0;
    if (file.error() != QFileDevice::NoError || !file.flush() ||
        file.error() != QFileDevice::NoError) {
        const int err = errno;
        if (reason)
            *reason = ReasonOf(file, err);
        file.cancelWriting();
        return false;
    }
    errno = 0;
    if (!file.commit()) {
        const int err = errno;
        if (reason)
            *reason = ReasonOf(file, err);
        return false;
    }
    return true;
}

bool SaveChecked(const QString& path, const std::function<bool(QSaveFile&, QString*)>& write,
                 QString* reason)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *reason = file.errorString();
        return false;
    }
    QString why;
    if (!write(file, &why)) {
        *reason = why.isEmpty() ? file.errorString() : why;
        file.cancelWriting();
        return false;
    }
    return CommitChecked(file, reason);
}

} // namespace quillon
