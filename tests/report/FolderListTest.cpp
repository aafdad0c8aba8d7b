#include "LayoutHarness.h"
#include "report/Layouts.h"

#include <gtest/gtest.h>

using namespace quillon;
using quillon::test::LayoutHarness;

namespace {

using Lines = std::vector<std::string>;

} // namespace

TEST(FolderList, OneLinePerFolderWithItsWholePath)
{
    LayoutHarness h;
    const FolderNode* data = h.location("/data/Data/");
    const FolderNode* sub = h.folder(data, "/data/Data/Sub/");
    h.records.appendFolderRecord(data);
    h.records.appendFile(data, "a.txt", 1);
    h.records.appendFile(data, "b.txt", 2);
    h.records.appendFolderRecord(sub);
    h.context.settings.FullPath = false; // does not apply here
    h.context.settings.IncludeFullSum = true;
    ASSERT_TRUE(FolderList(h.context));
    EXPECT_EQ(h.body(),
              (Lines{"/data/Data\\par", "", "/data/Data/Sub\\par", "",
                     "\\par\\b Total Summary: \\b0", "", "\\par 2 folder(s) found \\par "}));
    EXPECT_EQ(h.counters.folders, 2u);
    EXPECT_EQ(h.counters.files, 0u);
    EXPECT_EQ(h.counters.sizeTotal, 0.0);
    EXPECT_TRUE(h.bytes().ends_with("\r\n \\par\\par\\par}\r\n"));
}

TEST(FolderList, RootCaseAndSeparateRuns)
{
    LayoutHarness h;
    const FolderNode* root = h.location("/");
    const FolderNode* music = h.folder(root, "/Music{1}/");
    h.records.appendFolderRecord(root);
    h.records.appendFolderRecord(music);
    h.records.appendFile(root, "late.txt", 1); // a second run of the root's records
    h.context.settings.ListInUpper = true;
    ASSERT_TRUE(FolderList(h.context));
    EXPECT_EQ(h.body(), (Lines{"/\\par", "", "/MUSIC\\{1\\}\\par", "", "/\\par", ""}));
    EXPECT_EQ(h.counters.folders, 3u);
}

TEST(FolderList, StagingFileThatCannotBeCreatedAbortsTheLayout)
{
    LayoutHarness h;
    h.records.appendFolderRecord(h.location("/d/"));
    h.context.stagingPath = "/nonexistent-folder/tmpfile.dmp";
    EXPECT_FALSE(FolderList(h.context));
    EXPECT_TRUE(h.cancel);
    ASSERT_EQ(h.errors.size(), 1u);
    EXPECT_EQ(h.errors[0].procedure, "Folder List");
    EXPECT_EQ(h.errors[0].number, ENOENT);
    EXPECT_EQ(h.errors[0].line, 1);
}
