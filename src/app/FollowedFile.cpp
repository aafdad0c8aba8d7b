#include "app/FollowedFile.h"

#include <QThread>
#include <sys/stat.h>

namespace quillon {

namespace {

// How long a read waits at the end before it looks again. The layout writes a quarter of a
// megabyte at a time, which the reader takes longer to load than the layout to write.
constexpr unsigned long kPollMs = 1;

} // namespace

FollowedFile::FollowedFile(const QString& path, const std::atomic<Writer>& writer)
    : m_file(path), m_writer(writer)
{
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

qint64 FollowedFile::readData(char* data, qint64 maxSize)
{
    for (;;) {
        // The state is read before the file: once it says done, every byte is in the file.
        const Writer writer = m_writer.load(std::memory_order_acquire);
        if (writer == Writer::GaveUp)
            return -1;
        if (m_file.isOpen() || m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            const qint64 got = m_file.read(data, maxSize);
            if (got > 0)
                m_read += got;
            else if (got < 0)
                setErrorString(m_file.errorString());
            if (got != 0 || writer == Writer::Done)
                return got;
        } else if (writer == Writer::Done) {
            setErrorString(m_file.errorString());
            return -1;
        }
        QThread::msleep(kPollMs);
    }
}

bool FollowedFile::ReadWhole() const
{
    struct stat opened = {};
    struct stat named = {};
    return m_file.isOpen() && ::fstat(m_file.handle(), &opened) == 0 &&
           ::stat(QFile::encodeName(m_file.fileName()).constData(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino &&
           m_read == qint64(named.st_size);
}

} // namespace quillon
