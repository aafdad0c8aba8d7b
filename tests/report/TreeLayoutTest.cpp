#include "LayoutHarness.h"
#include "platform/PathRules.h"
#include "report/FolderLevel.h"
#include "report/Layouts.h"
#include "report/RtfFraming.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <sys/resource.h>

using namespace quillon;
using quillon::test::LayoutHarness;

namespace {

using Lines = std::vector<std::string>;

/// The example tree: /data/Data with a.txt (1234 bytes) and Sub with b.txt (10 bytes).
void addExampleTree(LayoutHarness& h)
{
    const FolderNode* data = h.location("/data/Data/");
    const FolderNode* sub = h.folder(data, "/data/Data/Sub/");
    h.records.appendFolderRecord(data);
    h.records.appendFile(data, "a.txt", 1234);
    h.records.appendFolderRecord(sub);
    h.records.appendFile(sub, "b.txt", 10);
}

/// True when this process still holds a descriptor on path.
bool isOpenHere(const QString& path)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    for (const QFileInfo& fd : QDir("/proc/self/fd").entryInfoList(QDir::System | QDir::Files))
        if (fd.symLinkTarget() == target)
            return true;
    return false;
}

/// Limits the size of files this process may write, for the lifetime of the object.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { lift(); }
    void lift() { setrlimit(RLIMIT_FSIZE, &m_saved); }

private:
    rlimit m_saved{};
};

} // namespace

TEST(FolderLevel, CountsFromTheMatchingLocation)
{
    const std::vector<std::string> data{"/data/Data"};
    EXPECT_EQ(FolderLevel("/data/Data", data), 1);
    EXPECT_EQ(FolderLevel("/data/Data/Sub", data), 2);
    EXPECT_EQ(FolderLevel("/data/Data/Sub/Deep", data), 3);
    const std::vector<std::string> root{"/"};
    EXPECT_EQ(FolderLevel("/", root), 1);
    EXPECT_EQ(FolderLevel("/Sub", root), 1);
    EXPECT_EQ(FolderLevel("/Sub/Deep", root), 2);
    // The first location that holds the folder counts, whole components only.
    const std::vector<std::string> two{"/a/b", "/a/bc/d/"};
    EXPECT_EQ(FolderLevel("/a/bc/d/e", two), 2);
    EXPECT_EQ(FolderLevel("/a/b/x", two), 2);
    EXPECT_EQ(FolderLevel("/elsewhere/x", two), 3);
}

TEST(FolderLevel, NodesGetTheLevelOfTheirPath)
{
    // Odd locations (the root, a doubled "/", a relative path) and nested ones where a longer
    // location takes over below a shorter one.
    const std::vector<std::vector<std::string>> lists{
        {"/"}, {"/d//"}, {"rel"}, {"/d/a/bbb/c", "/d"}, {"/d/a", "/d/a/bbb/"}, {}};
    for (const std::vector<std::string>& locations : lists) {
        RecordList records;
        std::vector<const FolderNode*> nodes;
        for (const char* location : {"/", "/d//", "rel/", "/d/", "/d/a/"})
            nodes.push_back(records.addFolder(nullptr, location));
        for (std::size_t i = 0; i < 40; ++i) // each node gets children "a", "bbb", "c"
            nodes.push_back(
                records.addFolder(nodes[i], std::string(i % 3 == 1 ? 3 : 1, "abc"[i % 3])));
        FolderLevels levels(locations);
        for (const FolderNode* node : nodes) {
            const std::string path = node->path();
            const std::string_view folder = WithoutTrailingSlash(path);
            EXPECT_EQ(levels.of(node), FolderLevel(folder, locations)) << path;
        }
    }
}

TEST(TreeViewList, DrawsFoldersAndFilesWithBranchesAndBars)
{
    LayoutHarness h;
    addExampleTree(h);
    h.context.settings.FullPath = false;
    h.context.settings.ColSize = "30";
    ASSERT_TRUE(TreeViewList(h.context));

    EXPECT_EQ(h.body(), (Lines{"|-- Data\\par ", "|  |-- a.txt\\par ", "|  \\par ",
                               "|  |-- Sub\\par ", "|  |  |-- b.txt\\par "}));
    EXPECT_EQ(h.counters.files, 2u);
    EXPECT_EQ(h.counters.folders, 2u);
    EXPECT_EQ(h.counters.sizeTotal, 1244.0);
    EXPECT_FALSE(h.cancel);

    const std::string all = h.bytes();
    EXPECT_EQ(all.substr(0, all.find("\r\n")), RtfHeader(h.context.font));
    EXPECT_TRUE(all.ends_with("|  |  |-- b.txt\\par \r\n \\par\\par\\par}\r\n"));
}

TEST(TreeViewList, WritesTheFullSummaryWhenAskedFor)
{
    LayoutHarness h;
    addExampleTree(h);
    h.context.settings.IncludeFullSum = true;
    ASSERT_TRUE(TreeViewList(h.context));
    const Lines body = h.body();
    ASSERT_EQ(body.size(), 9u);
    EXPECT_EQ(body[0], "|-- /data/Data\\par ") << "full path by default";
    EXPECT_EQ(
        Lines(body.begin() + 5, body.end()),
        (Lines{"\\par\\b Total Summary: \\b0", "", "\\par 2 file(s) found in 2 folder(s) \\par ",
               "Total file size 1.21 KB \\par "}));
}

TEST(TreeViewList, ListsExactlyTheFileRecords)
{
    LayoutHarness h;
    const FolderNode* data = h.location("/data/Data/");
    h.records.appendFile(data, "first", 1); // starts its run: folder line and file line
    h.records.appendFolderRecord(data);     // not first in its run: no line at all
    h.records.appendFile(data, "second", 2);
    h.records.appendFolderRecord(h.location("/other/")); // level 1: a bare separator
    h.context.settings.FullPath = false;
    ASSERT_TRUE(TreeViewList(h.context));
    EXPECT_EQ(h.body(), (Lines{"|-- Data\\par ", "|  |-- first\\par ", "|  |-- second\\par ",
                               "\\par ", "|-- other\\par "}));
    EXPECT_EQ(h.counters.files, 2u);
    EXPECT_EQ(h.counters.folders, 2u);
    EXPECT_EQ(h.counters.sizeTotal, 3.0);
}

TEST(TreeViewList, RootLocationWithAndWithoutFullPath)
{
    LayoutHarness h;
    const FolderNode* root = h.location("/");
    h.records.appendFolderRecord(root);
    h.records.appendFile(root, "x{y}", 5);
    h.context.settings.FullPath = false;
    ASSERT_TRUE(TreeViewList(h.context));
    EXPECT_EQ(h.body(), (Lines{"|-- \\par ", "|  |-- x\\{y\\}\\par "}));
    h.context.settings.FullPath = true;
    ASSERT_TRUE(TreeViewList(h.context));
    EXPECT_EQ(h.body().front(), "|-- /\\par ");
}

TEST(TreeViewList, CutsLinesLongerThanColumnSizePlusFourteen)
{
    LayoutHarness h;
    const FolderNode* data = h.location("/d/");
    h.records.appendFolderRecord(data);
    h.records.appendFile(data, std::string(37, 'n'), 1); // "|  |-- " + 37 = 44 characters
    h.records.appendFile(data, std::string(38, 'n'), 1); // 45 characters
    std::string accented;
    for (int i = 0; i < 37; ++i)
        accented += "\xc3\xa9"; // 44 characters, 81 bytes: measured in characters
    h.records.appendFile(data, accented, 1);
    h.context.settings.ColSize = "30";
    ASSERT_TRUE(TreeViewList(h.context));
    const Lines body = h.body();
    ASSERT_EQ(body.size(), 4u);
    EXPECT_EQ(body[1], "|  |-- " + std::string(37, 'n') + "\\par ");
    EXPECT_EQ(body[2], "|  |-- " + std::string(34, 'n') + "...\\par ");
    EXPECT_EQ(body[3], "|  |-- " + std::string(37, ' ') + "\\par ");
}

TEST(TreeViewList, DrawsDeepLevelsLikeTheOthers)
{
    LayoutHarness h;
    const FolderNode* node = h.location("/t/");
    h.records.appendFolderRecord(node);
    std::string path = "/t/";
    for (int level = 2; level <= 40; ++level) {
        path += "d/";
        node = h.folder(node, path);
        h.records.appendFolderRecord(node);
    }
    h.records.appendFile(node, "leaf", 1);
    h.context.settings.FullPath = false;
    h.context.settings.ColSize = "200";
    ASSERT_TRUE(TreeViewList(h.context));
    const Lines body = h.body();
    ASSERT_EQ(body.size(), 1u + 2 * 39 + 1);
    EXPECT_EQ(body[body.size() - 3], TreeIndent(40) + "\\par ");
    EXPECT_EQ(body[body.size() - 2], TreeIndent(40) + "|-- d\\par ");
    EXPECT_EQ(body.back(), TreeIndent(41) + "|-- leaf\\par ");
}

TEST(TreeViewList, ReportsProgressEveryFiftyRecords)
{
    LayoutHarness h;
    const FolderNode* data = h.location("/d/");
    h.records.appendFolderRecord(data);
    for (int i = 1; i < 120; ++i)
        h.records.appendFile(data, "f", 1);
    int yields = 0;
    h.context.progress.yield = [&] { ++yields; };
    ASSERT_TRUE(TreeViewList(h.context));
    EXPECT_EQ(h.statusTexts, (std::vector<QString>{"Formating list. please wait... 50 / 120",
                                                   "Formating list. please wait... 100 / 120"}));
    EXPECT_EQ(yields, 120);
}

TEST(TreeViewSizeList, RightAlignsSizesAfterThePaddedName)
{
    LayoutHarness h;
    addExampleTree(h);
    h.context.settings.FullPath = false;
    h.context.settings.ColSize = "30";
    h.context.settings.IncludeFullSum = true;
    ASSERT_TRUE(TreeViewSizeList(h.context));
    const Lines body = h.body();
    ASSERT_EQ(body.size(), 8u);
    EXPECT_EQ(body[0], "|-- Data \\par ");
    const std::string sized = "|  |-- a.txt" + std::string(32 + 8, ' ') + "1 KB";
    EXPECT_EQ(sized.size(), 56u);
    EXPECT_EQ(body[1], sized + " \\par ");
    EXPECT_EQ(body[2], "|  \\par ") << "separator unchanged";
    // No blank line after the summary title in this layout.
    EXPECT_EQ(body[5], "\\par\\b Total Summary: \\b0");
    EXPECT_EQ(body[6], "\\par 2 file(s) found in 2 folder(s) \\par ");
}

TEST(TreeViewSizeList, LongSizesAndCutNamesGetNoFiller)
{
    LayoutHarness h;
    const FolderNode* data = h.location("/d/");
    h.records.appendFolderRecord(data);
    h.records.appendFile(data, "big.bin", 1234567890);
    h.records.appendFile(data, std::string(50, 'n'), 2048);
    h.context.settings.ColSize = "30";
    h.context.settings.ShowSizeIn = "Bytes";
    ASSERT_TRUE(TreeViewSizeList(h.context));
    const Lines body = h.body();
    ASSERT_EQ(body.size(), 3u);
    EXPECT_EQ(body[1], "|  |-- big.bin" + std::string(30, ' ') + "1,234,567,890 \\par ");
    EXPECT_EQ(body[2],
              "|  |-- " + std::string(34, 'n') + "..." + std::string(7, ' ') + "2,048 \\par ");
}

TEST(TreeViewSizeList, CaseOptionReachesTheUnit)
{
    LayoutHarness h;
    addExampleTree(h);
    h.context.settings.ListInLower = true;
    h.context.settings.FullPath = false;
    ASSERT_TRUE(TreeViewSizeList(h.context));
    EXPECT_TRUE(h.body()[1].ends_with("1 kb \\par "));
    EXPECT_EQ(h.body()[0], "|-- data \\par ");
}

TEST(TreeLayouts, WriteFailureClosesTheFileAndSetsTheCancelFlag)
{
    LayoutHarness h;
    addExampleTree(h);
    {
        FileSizeLimit limit(64); // the header alone is longer
        EXPECT_FALSE(TreeViewList(h.context));
    }
    EXPECT_TRUE(h.cancel);
    ASSERT_EQ(h.errors.size(), 1u);
    EXPECT_EQ(h.errors[0].procedure, "TreeView List");
    EXPECT_EQ(h.errors[0].number, EFBIG);
    EXPECT_GT(h.errors[0].line, 0);
    EXPECT_FALSE(isOpenHere(h.context.stagingPath));
}

TEST(TreeLayouts, RetryAfterAWriteFailureWritesEachLineOnce)
{
    LayoutHarness reference;
    addExampleTree(reference);
    ASSERT_TRUE(TreeViewSizeList(reference.context));

    LayoutHarness h;
    addExampleTree(h);
    FileSizeLimit limit(64);
    h.context.decide = [&](const ErrorReport& report) {
        h.errors.push_back(report);
        limit.lift();
        return ErrorChoice::Retry;
    };
    ASSERT_TRUE(TreeViewSizeList(h.context));
    EXPECT_EQ(h.errors.size(), 1u);
    EXPECT_EQ(h.errors[0].procedure, "TreeView Size List");
    EXPECT_FALSE(h.cancel);
    EXPECT_EQ(h.bytes(), reference.bytes());
}

TEST(TreeLayouts, SummaryCountsAlsoWithoutCountersHandedIn)
{
    LayoutHarness h;
    addExampleTree(h);
    h.context.settings.IncludeFullSum = true;
    h.context.counters = nullptr;
    ASSERT_TRUE(TreeViewSizeList(h.context));
    const Lines body = h.body();
    ASSERT_GE(body.size(), 2u);
    EXPECT_EQ(body[body.size() - 2], "\\par 2 file(s) found in 2 folder(s) \\par ");
}

TEST(LayOutScan, TakesTheLevelsFromTheScanLocationsAndTheChoicesFromTheFrontEnd)
{
    LayoutHarness h;
    addExampleTree(h);
    ReportChoices choices;
    choices.settings.FullPath = false;
    choices.font.sizeText = QStringLiteral("12");
    ScanCounters counters;
    bool cancel = false;
    // "/data" as the location puts Data one level deeper than the harness's own "/data/Data".
    ScanLocation location;
    location.path = QStringLiteral("/data");
    ASSERT_TRUE(LayOutScan(ReportType::TreeView, h.records, counters, &cancel, {location}, choices,
                           h.context.stagingPath));

    EXPECT_EQ(h.body(), (Lines{"|  |-- Data\\par ", "|  |  |-- a.txt\\par ", "|  |  \\par ",
                               "|  |  |-- Sub\\par ", "|  |  |  |-- b.txt\\par "}));
    EXPECT_TRUE(h.bytes().starts_with(RtfHeader(choices.font)));
    EXPECT_EQ(counters.files, 2u);
    EXPECT_EQ(counters.folders, 2u);
}
