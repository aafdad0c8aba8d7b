#include "report/OwnStaging.h"
#include "support/FileBytes.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quillon;
using quillon::test::FileBytes;
using quillon::test::WriteFileBytes;

TEST(OwnStaging, EachRunKeepsItsOwnReportWhateverIsPublishedAfterIt)
{
    QTemporaryDir dir;
    const QString shared = dir.filePath("tmpfile.dmp");
    WriteFileBytes(shared, "an older report");
    OwnStaging first(shared);
    {
        OwnStaging second(shared);
        EXPECT_NE(first.path(), second.path());
        WriteFileBytes(first.path(), "report one");
        WriteFileBytes(second.path(), "report two");
        ASSERT_TRUE(first.publish());
        EXPECT_EQ(FileBytes(shared), "report one");
        ASSERT_TRUE(second.publish()); // another run finishing between layout and output
        EXPECT_EQ(FileBytes(shared), "report two");
        EXPECT_EQ(FileBytes(first.path()), "report one") << "the first run still reads its own";
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("tmpfile.dmp.new")));
    EXPECT_EQ(FileBytes(shared), "report two") << "the published copy outlives the run";
}

TEST(OwnStaging, AFailedPublishLeavesTheSharedFileAndSaysWhy)
{
    QTemporaryDir dir;
    const QString shared = dir.filePath("tmpfile.dmp");
    ASSERT_TRUE(QDir().mkpath(shared + "/blocked"));
    OwnStaging run(shared);
    WriteFileBytes(run.path(), "report");
    QString error;
    EXPECT_FALSE(run.publish(&error));
    EXPECT_TRUE(error.startsWith("cannot replace " + shared)) << error.toStdString();
    EXPECT_TRUE(QFile::exists(shared + "/blocked"));
}

TEST(OwnStaging, LeftoversOfRunsThatAreGoneAreClearedOnceOld)
{
    QTemporaryDir dir;
    const QString shared = dir.filePath("tmpfile.dmp");
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const QDateTime old = QDateTime::currentDateTimeUtc().addSecs(-7200);
    const auto make = [&](const QString& name, const QDateTime& when) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("report");
        file.flush();
        file.setFileTime(when, QFileDevice::FileModificationTime);
        return file.fileName();
    };
    const QString crashed = make(QStringLiteral("tmpfile.dmp.%1.1.ab12").arg(gone), old);
    const QString fresh =
        make(QStringLiteral("tmpfile.dmp.%1.2.cd34").arg(gone), QDateTime::currentDateTimeUtc());
    const QString alive = make(QStringLiteral("tmpfile.dmp.%1.1.ef56").arg(::getppid()), old);
    const QString other = make(QStringLiteral("tmpfile.dmp.keep"), old);
    OwnStaging run(shared);
    EXPECT_FALSE(QFile::exists(crashed));
    EXPECT_TRUE(QFile::exists(fresh));
    EXPECT_TRUE(QFile::exists(alive));
    EXPECT_TRUE(QFile::exists(other));
}
