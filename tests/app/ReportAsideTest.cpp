// Building a report away from the window's thread, and the files of the report it shows.
#include "app/BuildAside.h"
#include "app/ShownStaging.h"
#include "report/OwnStaging.h"
#include "support/FileBytes.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFont>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>

using namespace quillon;
using quillon::test::FileBytes;
using quillon::test::WriteFileBytes;

TEST(BuildAside, FillsOnAnotherThreadWhileTheCallerWaitsAndHandsTheDocumentBack)
{
    QFont font(QStringLiteral("Courier New"));
    font.setPointSize(13);
    std::atomic<bool> waited = false;
    std::atomic<int> waitsDuringFill = 0;
    QThread* filler = nullptr;
    std::unique_ptr<QTextDocument> document = BuildAside(
        font,
        [&](QTextDocument& built) {
            filler = QThread::currentThread();
            // Finishes only once the caller has run its wait: the two go on side by side.
            while (!waited)
                QThread::msleep(1);
            QTextCursor(&built).insertText(QStringLiteral("line one\nline two"));
        },
        [&] {
            ++waitsDuringFill;
            waited = true;
        });
    ASSERT_TRUE(document);
    EXPECT_NE(filler, QThread::currentThread());
    EXPECT_GE(waitsDuringFill, 1);
    EXPECT_EQ(document->thread(), QThread::currentThread());
    EXPECT_EQ(document->documentLayout()->thread(), QThread::currentThread());
    EXPECT_EQ(document->toPlainText(), QStringLiteral("line one\nline two"));
    EXPECT_EQ(document->defaultFont().pointSize(), 13);
}

TEST(ShownStaging, PublishesEachReportInOrderAndDeletesTheOneBefore)
{
    QTemporaryDir dir;
    const QString shared = dir.filePath(QStringLiteral("tmpfile.dmp"));
    QString firstPath;
    QString lastPath;
    {
        ShownStaging shown;
        EXPECT_TRUE(shown.path().isEmpty());
        for (int i = 1; i <= 20; ++i) {
            auto staging = std::make_unique<OwnStaging>(shared);
            WriteFileBytes(staging->path(), "report " + QByteArray::number(i));
            if (i == 1)
                firstPath = staging->path();
            lastPath = staging->path();
            shown.Take(std::move(staging));
            EXPECT_EQ(shown.path(), lastPath);
        }
        shown.Settle();
        EXPECT_EQ(FileBytes(shared), "report 20") << "the last report shown wins";
        EXPECT_FALSE(QFile::exists(firstPath));
        EXPECT_EQ(FileBytes(lastPath), "report 20") << "kept while shown";
    }
    EXPECT_FALSE(QFile::exists(lastPath));
    EXPECT_EQ(FileBytes(shared), "report 20");
}
