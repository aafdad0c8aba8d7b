#include "report/OwnStaging.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quillon;

namespace {

void Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

} // namespace

TEST(OwnStaging, EachRunKeepsItsOwnReportWhateverIsPublishedAfterIt)
{
    QTemporaryDir dir;
    const QString shared = dir.filePath("tmpfile.dmp");
    Write(shared, "an older report");
    OwnStaging first(shared);
    {
        OwnStaging second(shared);
        EXPECT_NE(first.path(), second.path());
        Write(first.path(), "report one");
        Write(second.path(), "report two");
        ASSERT_TRUE(first.publish());
        EXPECT_EQ(Read(shared), "report one");
        ASSERT_TRUE(second.publish()); // another run finishing between layout and output
        EXPECT_EQ(Read(shared), "report two");
        EXPECT_EQ(Read(first.path()), "report one") << "the first run still reads its own";
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("tmpfile.dmp.new")));
    EXPECT_EQ(Read(shared), "report two") << "the published copy outlives the run";
}

TEST(OwnStaging, AFailedPublishLeavesTheSharedFileAndSaysWhy)
{
    QTemporaryDir dir;
    const QString shared = dir.filePath("tmpfile.dmp");
    ASSERT_TRUE(QDir().mkpath(shared + "/blocked"));
    OwnStaging run(shared);
    Write(run.path(), "report");
    QString error;
    EXPECT_FALSE(run.publish(&error));
    EXPECT_TRUE(error.startsWith("cannot replace " + shared)) << error.toStdString();
    EXPECT_TRUE(QFile::exists(shared + "/blocked"));
}
