#include "report/OwnStaging.h"

#include "platform/CheckedSave.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace quillon {

namespace {

QString ErrnoText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

// For a file system without hard links: a whole copy through a temporary file.
bool CopyInPlace(const QString& from, const QString& to, QString* reason)
{
    QFile in(from);
    QSaveFile out(to);
    if (!in.open(QIODevice::ReadOnly)) {
        *reason = in.errorString();
        return false;
    }
    if (!OpenForReplace(out, reason))
        return false;
    while (!in.atEnd()) {
        const QByteArray block = in.read(1 << 20);
        if (block.isEmpty() || out.write(block) != block.size()) {
            *reason = block.isEmpty() ? in.errorString() : out.errorString();
            out.cancelWriting();
            return false;
        }
    }
    return CommitChecked(out, reason);
}

// A run that crashed or was killed leaves its staging file behind, and a report of a whole
// disk is large. Files of a process that is gone are cleared once they are an hour old (the
// age keeps away from a run on another machine that shares this folder).
void SweepLeftovers(const QString& sharedPath)
{
    const QFileInfo shared(sharedPath);
    const QString prefix = shared.fileName() + QLatin1Char('.');
    const QDateTime hourAgo = QDateTime::currentDateTimeUtc().addSecs(-3600);
    const QFileInfoList entries = shared.dir().entryInfoList(QDir::Files | QDir::Hidden);
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        if (!name.startsWith(prefix))
            continue;
        bool number = false;
        const qint64 pid =
            name.mid(prefix.size()).section(QLatin1Char('.'), 0, 0).toLongLong(&number);
        if (!number || pid <= 0 || pid == ::getpid() || entry.lastModified() > hourAgo)
            continue;
        if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            QFile::remove(entry.filePath());
    }
}

} // namespace

OwnStaging::OwnStaging(QString sharedPath) : m_sharedPath(std::move(sharedPath))
{
    SweepLeftovers(m_sharedPath);
    static std::atomic<unsigned> counter{0};
    m_path = QStringLiteral("%1.%2.%3.%4")
                 .arg(m_sharedPath)
                 .arg(::getpid())
                 .arg(++counter)
                 .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
}

OwnStaging::~OwnStaging()
{
    ::unlink(QFile::encodeName(m_path).constData());
}

bool OwnStaging::publish(QString* error) const
{
    const QByteArray own = QFile::encodeName(m_path);
    const QByteArray shared = QFile::encodeName(m_sharedPath);
    const QByteArray link = own + ".new";
    QString reason;
    ::unlink(link.constData());
    if (::link(own.constData(), link.constData()) == 0) {
        if (::rename(link.constData(), shared.constData()) == 0)
            return true;
        reason = ErrnoText(errno);
        ::unlink(link.constData());
    } else if (!CopyInPlace(m_path, m_sharedPath, &reason)) {
        // reason set by the copy
    } else {
        return true;
    }
    if (error)
        *error = QStringLiteral("cannot replace %1: %2").arg(m_sharedPath, reason);
    return false;
}

} // namespace quillon
