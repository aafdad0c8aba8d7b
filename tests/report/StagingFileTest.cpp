#include "report/StagingFile.h"
#include "support/FileBytes.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace quillon;
using quillon::test::FileBytes;

TEST(ReportStagingFile, ReplacesWhatWasThereWithoutFollowingLinks)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("tmpfile.dmp");
    const QString target = dir.filePath("precious.txt");
    QFile precious(target);
    ASSERT_TRUE(precious.open(QIODevice::WriteOnly));
    precious.write("keep me");
    precious.close();
    ASSERT_TRUE(QFile::link(target, path));

    ReportStagingFile file(path);
    file.writeLine(std::string_view("{\\rtf1"));
    file.writeLine(QString::fromUtf8("Caf\u00e9 \u20ac \u4e2d"));
    file.close();
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(FileBytes(path, "<missing>"), QByteArray("{\\rtf1\r\nCaf\xe9 \x80 ?\r\n"));
    EXPECT_EQ(FileBytes(target, "<missing>"), QByteArray("keep me"));
}
