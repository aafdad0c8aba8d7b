#include "listing/WalkListingSource.h"
#include "scan/ExclusionList.h"
#include "scan/RecordSort.h"
#include "support/FixtureTree.h"
#include "support/NoReadOverride.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace quillon {
namespace {

// Each entry as one line: what a comparison reads of it.
std::vector<std::string> Lines(ListingSource& source)
{
    std::vector<std::string> lines;
    ListingEntry e;
    while (source.next(e))
        lines.push_back(e.path + "|" + std::string(EntryKindText(e.kind)) + "|" +
                        std::to_string(e.size) + "|" + std::to_string(e.modified) + "|" +
                        std::to_string(e.unreadable) + "|" + (e.crcKnown ? CrcText(e.crc) : ""));
    EXPECT_TRUE(source.error().isEmpty()) << source.error().toStdString();
    return lines;
}

std::vector<std::string> Paths(const std::vector<const FolderNode*>& folders)
{
    std::vector<std::string> paths;
    for (const FolderNode* folder : folders)
        paths.push_back(folder->path());
    return paths;
}

ListingHeader HeaderOf(const std::string& root)
{
    ListingHeader header;
    ScanLocation location;
    location.path = QString::fromStdString(root);
    header.locations = {location};
    header.reportType = ReportTypeName(ReportType::TreeView);
    header.columns[DetailColumn::CRC32] = true; // each file read again on the walk's thread
    return header;
}

} // namespace

TEST(WalkListing, GivesTheSortedScansEntriesInItsOrderUnderEveryWalkRule)
{
    const test::NoReadOverride obeyPermissions; // the walks' threads inherit it
    test::FixtureTree tree;
    for (const char* name :
         {"b.txt", "A.txt", "\xC3\xA9t\xC3\xA9.txt", "Z.TMP", "skip.me", ".hid", ".hidden/in.txt",
          "sub/x.txt", "Sub2/y.txt", "a b/c/d/deep.txt", "excluded/e.txt", "d\xFE/\xFF.bin",
          "zz-locked/f", "m/locked/f", "m/secret"})
        tree.file(name, name);
    tree.folder("a-locked");
    tree.symlink("link", "sub");
    tree.symlink("dead", "/nonexistent");
    ASSERT_EQ(::mkfifo(tree.path("pipe").c_str(), 0644), 0);
    for (const char* name : {"zz-locked", "a-locked", "m/locked", "m/secret"})
        tree.chmod(name, 0);

    const std::string& root = tree.root();
    ExclusionList exclusions;
    exclusions.fileNames = {QStringLiteral("SKIP.me")};
    exclusions.folders = {QString::fromStdString(tree.path("excluded"))};
    exclusions.extensions = {QStringLiteral("tmp")};
    struct Case {
        const char* what;
        WalkSettings settings;
        ExclusionList exclusions;
    };
    std::vector<Case> cases(7, Case{"all", {}, {}});
    cases[1] = {"hidden", {}, exclusions};
    cases[1].settings.includeHidden = true;
    cases[2] = {"excluded", {}, exclusions};
    cases[3].what = "filtered";
    cases[3].settings.filter = QStringLiteral("*.txt");
    cases[4].what = "one level";
    cases[4].settings.depthLimit = 1;
    cases[5].what = "no sub-folders";
    cases[5].settings.subFolders = false;
    cases[6].what = "read ahead by threads";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordList records;
        Walker walker(records, c.exclusions, {root}, {}, nullptr);
        walker.WalkLocation(root, c.settings);
        SortRecords(records);
        RecordListingSource scanned(records, HeaderOf(root));

        WalkListingSource walked(
            root, c.settings, c.exclusions,
            [&](const RecordList& list) {
                return std::make_unique<RecordListingSource>(list, HeaderOf(root));
            },
            [] { return true; });
        walked.setThreads(c.what == std::string("read ahead by threads") ? 4 : 1);
        walked.start();
        const std::vector<std::string> expected = Lines(scanned);
        EXPECT_GT(expected.size(), 3u);
        EXPECT_EQ(Lines(walked), expected);
        EXPECT_EQ(Paths(walked.unreadableFolders()), Paths(walker.unreadableFolders()));
    }

    // Stopped, or let go while its walk runs ahead: no hang, and a stop is no end.
    ListingEntry entry;
    const auto make = [&](const RecordList& list) {
        return std::make_unique<RecordListingSource>(list, HeaderOf(root));
    };
    WalkListingSource stopped(root, {}, {}, make, [] { return false; });
    stopped.start();
    EXPECT_FALSE(stopped.next(entry));
    EXPECT_EQ(stopped.error(), QStringLiteral("stopped"));
    WalkListingSource left(root, {}, {}, make, [] { return true; });
    left.start();
    EXPECT_TRUE(left.next(entry));
}

} // namespace quillon
