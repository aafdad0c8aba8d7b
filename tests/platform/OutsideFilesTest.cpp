// Writes never replace a node that is not a regular file, readers take only regular files, and
// a full disk is named as such.
#include "platform/BoundedRead.h"
#include "platform/CheckedSave.h"
#include "platform/SettingsStore.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace quillon;

namespace {

mode_t TypeOf(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & S_IFMT : 0;
}

bool Write(const QString& path, const QByteArray& bytes, QString* reason)
{
    return SaveChecked(
        path, [&](QSaveFile& file, QString*) { return file.write(bytes) == bytes.size(); }, reason);
}

} // namespace

TEST(CheckedSave, NodesAndLinksToThemAreNeverReplaced)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo.txt");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    QStringList nodes = {fifo};
    // A private copy of /dev/null: replacing it harms nothing, but shows what a link to a
    // disk's node would have suffered.
    const QString device = dir.filePath("null");
    if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0644, makedev(1, 3)) == 0)
        nodes << device;
    else
        std::fprintf(stderr, "skipped device nodes: mknod: %s\n", std::strerror(errno));
    for (const QString& node : nodes) {
        const mode_t type = TypeOf(node);
        const QString link = dir.filePath("link-to-" + QFileInfo(node).fileName());
        const QString chain = dir.filePath("chain");
        ASSERT_TRUE(QFile::link(node, link));
        QFile::remove(chain);
        ASSERT_TRUE(QFile::link(link, chain));
        for (const QString& target : {node, link, chain}) {
            QString reason;
            EXPECT_FALSE(Write(target, "report", &reason)) << target.toStdString();
            EXPECT_TRUE(reason.contains("not a regular file")) << reason.toStdString();
            EXPECT_EQ(TypeOf(node), type) << target.toStdString();
        }
        EXPECT_EQ(TypeOf(link), S_IFLNK);
    }
    QString reason;
    ASSERT_TRUE(Write(dir.filePath("plain.txt"), "a", &reason)) << reason.toStdString();
    ASSERT_TRUE(Write(dir.filePath("plain.txt"), "b", &reason)) << reason.toStdString();
}

TEST(CheckedSave, AFullDiskIsNamedAndTheOldFileKept)
{
    QTemporaryDir dir;
    const QString disk = dir.filePath("disk");
    QDir().mkpath(disk);
    if (::mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "a small file system cannot be mounted here: " << std::strerror(errno);
    const QString path = disk + "/listing.csv";
    QString reason;
    ASSERT_TRUE(Write(path, "old", &reason)) << reason.toStdString();
    // Bytes of many writes, as the writers send them, more than the disk holds.
    const bool saved = SaveChecked(
        path,
        [](QSaveFile& file, QString*) {
            const QByteArray line(1000, 'x');
            for (int i = 0; i < 200; ++i)
                if (file.write(line) != line.size())
                    return false;
            return true;
        },
        &reason);
    EXPECT_FALSE(saved);
    EXPECT_EQ(reason, QString::fromLocal8Bit(std::strerror(ENOSPC)));
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "old");
    old.close();
    ::umount(QFile::encodeName(disk).constData());
}

TEST(BoundedRead, OnlyRegularFilesAreOpenedAndNothingWaits)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath("job.qjb");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    // /proc files claim to be regular and empty; /proc/kmsg gives away a kernel message to
    // whoever reads it. /proc/self/status stands in for it here.
    for (const QString& path : {fifo, QStringLiteral("/proc/self/status"),
                                QStringLiteral("/sys/kernel/mm/transparent_hugepage/enabled")}) {
        if (!QFileInfo::exists(path))
            continue;
        SmallFileError error = SmallFileError::None;
        EXPECT_FALSE(ReadSmallFile(path, kJobFileLimit, &error)) << path.toStdString();
        EXPECT_EQ(error, SmallFileError::NotRegular) << path.toStdString();
        QFile file;
        EXPECT_FALSE(OpenRegularFile(path, file)) << path.toStdString();
    }
}

TEST(SettingsStore, AFileLargerThanASettingsFileIsLeftAsItIs)
{
    const QString path = SettingsStore().fileName();
    QDir().mkpath(QFileInfo(path).path());
    QByteArray text = "[Settings]\nColSize=45\n";
    while (text.size() <= kSettingsFileLimit)
        text += "[Junk]\nk" + QByteArray::number(text.size()) + "=v\n";
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
    {
        SettingsStore store;
        EXPECT_EQ(store.value("Settings", "ColSize", "dflt"), "dflt");
        store.setValue("Settings", "ColSize", "50");
        EXPECT_FALSE(store.sync());
        EXPECT_TRUE(store.errorString().contains(path)) << store.errorString().toStdString();
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), text);
    file.close();
    QFile::remove(path);
}
