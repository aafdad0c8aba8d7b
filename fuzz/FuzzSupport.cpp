#include "FuzzSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace quillon::fuzz {

QString ScratchFolder()
{
    // Kept for the whole process: the clean-up at exit still needs the name.
    static const QString* folder = [] {
        // In memory where there is such a folder: every save ends with an fsync, which on a
        // disk made the exclusion-list target run about a hundred inputs a second.
        const QString base = QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                 ? QStringLiteral("/dev/shm")
                                 : QDir::tempPath();
        auto* path =
            new QString(base + QStringLiteral("/quillon-fuzz-") + QString::number(::getpid()));
        QDir().mkpath(*path);
        std::atexit([] { QDir(ScratchFolder()).removeRecursively(); });
        return path;
    }();
    return *folder;
}

QString WriteScratchFile(const QString& name, const std::uint8_t* data, std::size_t size)
{
    const QString path = ScratchFolder() + QLatin1Char('/') + name;
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) !=
            static_cast<qint64>(size))
        Fail("cannot write the scratch file");
    return path;
}

void Fail(const char* what)
{
    std::fprintf(stderr, "property failed: %s\n", what);
    std::abort();
}

} // namespace quillon::fuzz
