// Save As with the interactive web page's filter in the window.
#include "FakeDialogs.h"
#include "app/MainFrm.h"
#include "support/FixtureTree.h"

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quillon;

namespace {

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The filter picks the interactive page, made from the last scan; without that filter a
// ".html" name is the report's page as before, and a ".txt" name is text whichever filter.
TEST(WebPageInWindow, SaveAsFilterPicksThePageOfTheLastScan)
{
    test::FixtureTree tree;
    tree.file("a.txt", "x");
    tree.file("sub/b<&>.txt", "yy");
    QTemporaryDir out;
    test::FakeDialogs dialogs;
    MainFrm window(&dialogs);
    const auto saveAs = [&](const QString& name, int filter) {
        dialogs.paths.push_back(out.filePath(name));
        dialogs.chosenFilters.push_back(filter);
        window.mnuSaveAs->trigger();
        return Read(out.filePath(name));
    };
    EXPECT_TRUE(saveAs("early.html", 3).isEmpty()); // no scan yet: told, nothing written
    ASSERT_EQ(dialogs.messages.size(), 1);

    window.AddLocation({QString::fromStdString(tree.root()), QStringLiteral("Yes"),
                        QStringLiteral("*.*"), QStringLiteral("All Levels"),
                        ScanLocation::kScanIcon});
    window.SelectReportType(ReportType::TreeView);
    window.mnuScan->trigger();
    const QByteArray page = saveAs("browse.html", 3);
    EXPECT_TRUE(page.startsWith("<!DOCTYPE html>") && page.contains("class=\"rows\"") &&
                page.contains("\"b\\u003c\\u0026\\u003e.txt\""))
        << page.left(300).constData();
    EXPECT_TRUE(saveAs("page.html", 2).startsWith("<html><head><title>Quillon - "));
    EXPECT_FALSE(saveAs("notes.txt", 3).contains("<"));
    EXPECT_EQ(dialogs.messages.size(), 1);
}
