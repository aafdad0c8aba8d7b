#include "app/ScanRun.h"
#include "platform/CommandError.h"
#include "support/FixtureTree.h"

#include <gtest/gtest.h>

#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillon;
using quillon::test::FixtureTree;

namespace {

// Records what the run asked of the window, in order.
struct Window {
    std::vector<std::string> calls;
    std::vector<ErrorReport> errors;
    std::vector<ErrorChoice> answers; // then Abort
    std::vector<QString> statuses;
    std::size_t recordsSeen = 0;
    ScanCounters finalCounters;
    bool finalCancelled = false;
    std::function<void()> onYield;

    ScanRunHooks hooks()
    {
        ScanRunHooks h;
        h.progress.yield = [this] {
            if (onYield)
                onYield();
        };
        h.progress.status = [this](const QString& text) { statuses.push_back(text); };
        h.decide = [this](const ErrorReport& report) {
            errors.push_back(report);
            const ErrorChoice choice = answers.empty() ? ErrorChoice::Abort : answers.front();
            if (!answers.empty())
                answers.erase(answers.begin());
            return choice;
        };
        h.saveDefaultJob = [this] { calls.push_back("save"); };
        h.noLocations = [this] { calls.push_back("add"); };
        h.started = [this] { calls.push_back("started"); };
        h.setScanningState = [this](bool idle) { calls.push_back(idle ? "idle" : "busy"); };
        h.layout = [this](ReportType, const RecordList& records, ScanCounters& counters, bool*) {
            calls.push_back("layout");
            recordsSeen = records.lastIndex();
            counters.files += 5;
            counters.folders += 2;
        };
        h.finished = [this](const ScanCounters& counters, bool cancelled) {
            calls.push_back("finished");
            finalCounters = counters;
            finalCancelled = cancelled;
        };
        return h;
    }
};

ScanLocation Location(const std::string& path, const QString& level = "All Levels")
{
    ScanLocation location;
    location.path = QString::fromStdString(path);
    location.level = level;
    return location;
}

using Calls = std::vector<std::string>;

} // namespace

TEST(DepthLimitFromLevel, NoLimitRoundingAndErrors)
{
    EXPECT_EQ(DepthLimitFromLevel("All Levels"), 0);
    EXPECT_EQ(DepthLimitFromLevel(""), 0);
    EXPECT_EQ(DepthLimitFromLevel("0"), 0);
    EXPECT_EQ(DepthLimitFromLevel("3"), 3);
    EXPECT_EQ(DepthLimitFromLevel(" 3 "), 3);
    EXPECT_EQ(DepthLimitFromLevel("-1"), -1);
    EXPECT_EQ(DepthLimitFromLevel("2.5"), 2); // half to even
    EXPECT_EQ(DepthLimitFromLevel("3.5"), 4);
    EXPECT_EQ(DepthLimitFromLevel("32767"), 32767);
    EXPECT_EQ(DepthLimitFromLevel("-32768"), -32768);
    const auto number = [](const QString& level) {
        try {
            DepthLimitFromLevel(level);
        } catch (const CommandError& e) {
            return e.number();
        }
        return 0;
    };
    EXPECT_EQ(number("abc"), 13);
    EXPECT_EQ(number("nan"), 13);
    EXPECT_EQ(number("40000"), 6);
    EXPECT_EQ(number("32767.5"), 6);
}

TEST(ScanRun, EmptyListOpensTheAddCommandExcludedRowWalksNothing)
{
    Window empty;
    ScanRun run;
    EXPECT_TRUE(run.Run({}, {}, ReportType::TreeView, empty.hooks()));
    EXPECT_EQ(empty.calls, (Calls{"save", "add"}));

    FixtureTree tree;
    tree.file("a.txt");
    ScanLocation row = Location(tree.root());
    row.icon = ScanLocation::kExcludedIcon;
    Window window;
    EXPECT_TRUE(run.Run({row}, {}, ReportType::FolderList, window.hooks()));
    EXPECT_EQ(window.calls, (Calls{"save", "started", "busy", "layout", "idle", "finished"}));
    EXPECT_EQ(window.recordsSeen, 0u);
    EXPECT_EQ(window.statuses.back(), "Ready");
    EXPECT_FALSE(window.finalCancelled);
}

TEST(ScanRun, RecordsAreSortedAndFolderRecordsFollowTheReportType)
{
    FixtureTree tree;
    tree.file("b/x.txt");
    tree.file("a.txt");
    Window window;
    ScanRun run;
    ASSERT_TRUE(run.Run({Location(tree.root())}, {}, ReportType::TreeView, window.hooks()));
    const RecordList& records = run.records();
    ASSERT_EQ(records.lastIndex(), 4u);
    EXPECT_TRUE(records[1].isFolder());
    EXPECT_EQ(records[2].name, "a.txt");
    EXPECT_TRUE(records[3].isFolder());
    EXPECT_EQ(records[4].name, "x.txt");

    // The folder list shows no file, so the walk makes no file record for it.
    ASSERT_TRUE(run.Run({Location(tree.root())}, {}, ReportType::FolderList, window.hooks()));
    ASSERT_EQ(records.lastIndex(), 2u);
    EXPECT_TRUE(records[1].isFolder() && records[2].isFolder());

    ASSERT_TRUE(run.Run({Location(tree.root())}, {}, ReportType::ListInDetails, window.hooks()));
    EXPECT_EQ(run.records().lastIndex(), 2u);
    // Counters start from zero for every run.
    EXPECT_EQ(window.finalCounters.files, 5u);
    EXPECT_EQ(window.finalCounters.folders, 2u);
}

TEST(ScanRun, BadLevelAbortEndsTheRunAndStillReturnsTheWindowToIdle)
{
    FixtureTree tree;
    Window window;
    window.answers = {ErrorChoice::Retry}; // the same text fails again, then Abort
    ScanRun run;
    EXPECT_FALSE(run.Run({Location(tree.root(), "abc")}, {}, ReportType::TreeView, window.hooks()));
    ASSERT_EQ(window.errors.size(), 2u);
    EXPECT_EQ(window.errors[0].number, 13);
    EXPECT_EQ(window.errors[0].description, "Type mismatch");
    EXPECT_EQ(window.errors[0].procedure, "Scanning");
    EXPECT_EQ(window.errors[0].line, 10);
    EXPECT_TRUE(run.cancelled());
    EXPECT_EQ(window.calls, (Calls{"save", "started", "busy", "idle", "finished"}));
    EXPECT_TRUE(window.finalCancelled);
    EXPECT_EQ(window.statuses.back(), "Scan Terminated.");

    Window overflow;
    EXPECT_FALSE(
        run.Run({Location(tree.root(), "40000")}, {}, ReportType::TreeView, overflow.hooks()));
    ASSERT_EQ(overflow.errors.size(), 1u);
    EXPECT_EQ(overflow.errors[0].number, 6);
    EXPECT_EQ(overflow.errors[0].description, "Overflow");
}

TEST(ScanRun, CancelDuringTheFirstLocationStillStartsTheSecond)
{
    FixtureTree tree;
    for (int i = 0; i < 30; ++i)
        tree.file("one/sub/f" + std::to_string(i) + ".txt");
    tree.file("two/g.txt");
    tree.folder("two/deeper");
    Window window;
    ScanRun run;
    int yields = 0;
    window.onYield = [&] {
        if (++yields == 5)
            run.Cancel();
    };
    EXPECT_TRUE(run.Run({Location(tree.path("one")), Location(tree.path("two"))}, {},
                        ReportType::TreeView, window.hooks()));
    EXPECT_TRUE(window.finalCancelled);
    EXPECT_EQ(window.statuses.back(), "Scan Terminated.");
    EXPECT_EQ(window.calls, (Calls{"save", "started", "busy", "layout", "idle", "finished"}));
    // The second location made its own folder record and nothing else.
    int fromTwo = 0;
    const RecordList& records = run.records();
    for (std::size_t i = 1; i <= records.lastIndex(); ++i) {
        if (records[i].folder->path().find("/two/") != std::string_view::npos) {
            ++fromTwo;
            EXPECT_TRUE(records[i].isFolder());
            EXPECT_EQ(records[i].folder->path(), tree.path("two/"));
        }
    }
    EXPECT_EQ(fromTwo, 1);
    EXPECT_LT(records.lastIndex(), 10u);
}

namespace {

// Each folder's totals after a run, keyed by its path below the fixture ("" the location), and
// the folders in record order.
struct TotalsRun {
    std::map<std::string, std::pair<std::int64_t, std::uint64_t>> totals;
    std::vector<std::string> order;
};

TotalsRun RunTotals(const FixtureTree& tree, const ScanOptions& options,
                    const QString& level = "All Levels", const QString& filter = "*.*",
                    ReportType type = ReportType::TreeViewWithSize)
{
    ExclusionList exclusions;
    exclusions.extensions = {"*.tmp"};
    ScanLocation location = Location(tree.root(), level);
    location.filter = filter;
    ScanRun run;
    run.setOptions(options);
    TotalsRun out;
    ScanRunHooks hooks;
    hooks.layout = [&](ReportType, const RecordList& records, ScanCounters&, bool*) {
        for (std::size_t k = 1; k <= records.lastIndex(); ++k) {
            const FolderNode* node = records[k].folder;
            std::string path = node->path().substr(tree.root().size());
            path = path.empty() ? path : path.substr(1, path.size() - 2);
            if (out.totals.emplace(path, std::pair{node->totalSize, node->totalFiles}).second)
                out.order.push_back(path);
        }
    };
    EXPECT_TRUE(run.Run({location}, exclusions, type, hooks));
    return out;
}

std::int64_t Allocated(const FixtureTree& tree, const std::string& relative)
{
    struct stat st {};
    EXPECT_EQ(::stat(tree.path(relative).c_str(), &st), 0) << relative;
    return static_cast<std::int64_t>(st.st_blocks) * 512;
}

} // namespace

TEST(FolderTotals, CountWhatTheReportListsAndSortTheLevels)
{
    FixtureTree tree;
    tree.file("top.txt", "1");
    tree.file(".h.txt", std::string(5, 'h'));
    tree.file("a/x.txt", std::string(10, 'x'));
    tree.file("a/skip.tmp", std::string(50, 's')); // excluded
    tree.file("a/pic.jpg", std::string(7, 'p'));
    tree.file("a/b/y.txt", std::string(200, 'y'));
    tree.file("a/b/c/z.txt", std::string(3000, 'z'));
    tree.file("a/b/orig.txt", std::string(400, 'o'));
    tree.folder("a/empty");
    tree.folder("c2");
    ASSERT_EQ(::link(tree.path("a/b/orig.txt").c_str(), tree.path("a/b/same.txt").c_str()), 0);
    ASSERT_EQ(::link(tree.path("a/b/orig.txt").c_str(), tree.path("c2/other.txt").c_str()), 0);
    tree.sparseFile("d/sparse.txt", 1 << 20);

    ScanOptions on;
    on.folderTotals = true;
    TotalsRun plain = RunTotals(tree, on);
    const std::int64_t sparse = 1 << 20;
    using T = std::pair<std::int64_t, std::uint64_t>;
    EXPECT_EQ(plain.totals[""], T(1 + 10 + 7 + 200 + 3000 + 3 * 400 + sparse, 9));
    EXPECT_EQ(plain.totals["a"], T(10 + 7 + 200 + 3000 + 2 * 400, 6));
    EXPECT_EQ(plain.totals["a/b"], T(200 + 3000 + 2 * 400, 4));
    EXPECT_EQ(plain.totals["a/b/c"], T(3000, 1));
    EXPECT_EQ(plain.totals["a/empty"], T(0, 0));
    EXPECT_EQ(plain.totals["c2"], T(400, 1));
    // Without totals asked for, nothing is summed.
    EXPECT_EQ(RunTotals(tree, ScanOptions()).totals[""], T(0, 0));

    ScanOptions hidden = on;
    hidden.includeHidden = true;
    EXPECT_EQ(RunTotals(tree, hidden).totals[""],
              T(1 + 5 + 10 + 7 + 200 + 3000 + 1200 + sparse, 10));
    // The type filter and the depth limit leave out what the report leaves out, in a folder
    // list too, which shows no file.
    EXPECT_EQ(RunTotals(tree, on, "All Levels", ".jpg").totals[""], T(7, 1));
    TotalsRun shallow = RunTotals(tree, on, "1", "*.*", ReportType::FolderList);
    EXPECT_EQ(shallow.totals[""], T(1 + 10 + 7 + 400 + sparse, 5));
    EXPECT_EQ(shallow.totals.count("a/b"), 0u);

    // Every link keeps its line; its size counts once, at the link met first.
    ScanOptions once = on;
    once.countHardLinksOnce = true;
    TotalsRun links = RunTotals(tree, once);
    EXPECT_EQ(links.totals[""], T(1 + 10 + 7 + 200 + 3000 + 400 + sparse, 9));
    EXPECT_EQ(links.totals["a/b"].first + links.totals["c2"].first, 200 + 3000 + 400);
    EXPECT_EQ(links.totals["a/b"].second, 4u);

    ScanOptions disk = once;
    disk.sizeOnDisk = true;
    const std::int64_t expected = Allocated(tree, "top.txt") + Allocated(tree, "a/x.txt") +
                                  Allocated(tree, "a/pic.jpg") + Allocated(tree, "a/b/y.txt") +
                                  Allocated(tree, "a/b/c/z.txt") + Allocated(tree, "a/b/orig.txt") +
                                  Allocated(tree, "d/sparse.txt");
    EXPECT_EQ(RunTotals(tree, disk).totals[""].first, expected);
    EXPECT_LT(Allocated(tree, "d/sparse.txt"), sparse);

    // Each level's folders by total, largest first when descending; the location stays first.
    ScanOptions sorted = on;
    sorted.sortFoldersByTotal = true;
    sorted.totalsDescending = true;
    EXPECT_EQ(RunTotals(tree, sorted).order,
              (std::vector<std::string>{"", "d", "a", "a/b", "a/b/c", "a/empty", "c2"}));
    sorted.totalsDescending = false;
    EXPECT_EQ(RunTotals(tree, sorted).order,
              (std::vector<std::string>{"", "c2", "a", "a/empty", "a/b", "a/b/c", "d"}));
}
