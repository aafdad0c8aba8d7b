// Every writer that replaces a user's file must keep the old file when the last buffered
// bytes cannot be written (a full disk). A file-size limit stands in for the full disk: past it
// write() fails with EFBIG, as it fails with ENOSPC on a full file system.
#include "app/JobFile.h"
#include "output/HtmlExport.h"
#include "platform/SettingsStore.h"
#include "rtf/RtfFiles.h"
#include "scan/ExclusionList.h"
#include "support/FileBytes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextDocument>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace quillon;
using quillon::test::FileBytes;

namespace {

/// Files written by this process may not grow past limit bytes while it lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit tight = m_saved;
        tight.rlim_cur = limit;
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = nullptr;
};

const QByteArray kOld = "the old file\n";

} // namespace

TEST(LastBytes, EveryWriterKeepsTheOldFileAndSaysWhy)
{
    QTemporaryDir dir;
    QTextDocument document;
    document.setPlainText(QStringLiteral("a report line that is longer than the limit\n"));
    const QString staging = dir.filePath(QStringLiteral("tmpfile.dmp"));
    {
        QFile file(staging);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("{\\rtf1 header\r\nline one \\par\r\n}\r\n");
    }
    Job job;
    ScanLocation music;
    music.path = QStringLiteral("/home/user/music");
    job.locations.push_back(music);
    ExclusionList list;
    list.fileNames << QStringLiteral("Thumbs.db");

    const std::vector<std::pair<QString, std::function<bool(const QString&, QString*)>>> writers = {
        {"report.txt", [&](const QString& path,
                           QString* error) { return SavePlainTextFile(document, path, error); }},
        {"report.rtf",
         [&](const QString& path, QString* error) { return SaveRtfFile(document, path, error); }},
        {"page.htm",
         [&](const QString& path, QString* error) {
             HtmlExport exporter(staging, path);
             const bool done = exporter.run();
             *error = exporter.errorString();
             return done;
         }},
        {"Default.qjb",
         [&](const QString& path, QString* error) { return WriteJobFile(path, job, error); }},
        {"exclusion.lst", [&](const QString& path, QString* error) {
             return SaveExclusionList(list, path, error);
         }}};
    for (const auto& [name, write] : writers) {
        const QString path = dir.filePath(name);
        {
            QFile old(path);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write(kOld);
        }
        QString error;
        bool written = true;
        {
            const FileSizeLimit limit(16);
            written = write(path, &error);
        }
        EXPECT_FALSE(written) << name.toStdString();
        EXPECT_EQ(FileBytes(path), kOld) << name.toStdString();
        EXPECT_TRUE(error.contains(QStringLiteral("File too large"))) << error.toStdString();
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2)
            << "only the staging file and the old file: no temporary file left";
        QFile::remove(path);
    }
}

TEST(LastBytes, SettingsKeepTheOldFile)
{
    SettingsStore first;
    first.setValue(QStringLiteral("Settings"), QStringLiteral("ColSize"), QStringLiteral("40"));
    ASSERT_TRUE(first.sync());
    const QByteArray before = FileBytes(first.fileName());
    SettingsStore store;
    store.setValue(QStringLiteral("Settings"), QStringLiteral("Note"), QString(200, u'x'));
    bool synced = true;
    {
        const FileSizeLimit limit(16);
        synced = store.sync();
    }
    EXPECT_FALSE(synced);
    EXPECT_EQ(FileBytes(store.fileName()), before);
}
