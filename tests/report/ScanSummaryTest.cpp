#include "report/ScanSummary.h"
#include "platform/SettingsStore.h"
#include "support/FixtureTree.h"
#include "support/NoReadOverride.h"
#include "support/WalkedScan.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillon;
namespace fs = std::filesystem;

namespace {

std::string RandomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

// Hands a walk on to another, as given up at its end.
struct GivenUp : FileSeen {
    explicit GivenUp(FileSeen& to) : to(to) {}
    void seen(const RecordList& records, std::size_t index) override { to.seen(records, index); }
    void walked(bool) override { to.walked(true); }
    FileSeen& to;
};

// Duplicates made on purpose, beside files that only look like them.
struct SummaryTree {
    test::FixtureTree tree;
    RecordList records;
    test::WalkedScan run;
    ScanLocation location;

    SummaryTree()
    {
        const std::string x = RandomBytes(5000, 1);
        tree.file("a/big.bin", x);
        tree.file("copy.bin", x);
        tree.file("b/deep/copy.BIN", x);
        EXPECT_EQ(::link(tree.path("a/big.bin").c_str(), tree.path("a/link.bin").c_str()), 0);
        tree.file("same size.bin", RandomBytes(5000, 2));
        // Equal size, first block and CRC32, other bytes: the generator polynomial XORed into
        // the content after the first block.
        std::string twin = x;
        const unsigned char difference[] = {0x41, 0x06, 0x71, 0xDB, 0x01};
        for (std::size_t i = 0; i < sizeof difference; ++i)
            twin[4500 + i] = static_cast<char>(twin[4500 + i] ^ difference[i]);
        tree.file("b/twin.bin", twin);
        tree.file("n1.txt", "hello\n");
        tree.file("b/n2.txt", "hello\n");
        tree.file("n3.txt", "hellp\n");
        tree.file("locked.dat", RandomBytes(100, 3));
        tree.file("b/locked copy.dat", RandomBytes(100, 3));
        tree.file("README", "read me");
        tree.file(".profile", "x");
        tree.file("empty1");
        tree.file("b/empty2");
        location.path = QString::fromStdString(tree.root());
        location.level = kAllLevels;
        EXPECT_TRUE(run.Run({location}, {}, ReportType::ListInDetails));
    }

    // With ahead, the duplicates are read on a thread of their own (which obeys the modes too);
    // with fed as well, their first blocks are read while the tree is walked again (fed 2: the
    // feed is told the walk was given up, so the summary reads what it did not).
    ScanSummary summarize(const SummarySettings& settings, std::vector<std::string>* told,
                          bool ahead = false, bool cancel = false, int fed = 0)
    {
        tree.chmod("locked.dat", 0);
        std::optional<test::NoReadOverride> obeyModes(std::in_place);
        std::optional<DuplicatesFeed> feed;
        if (fed > 0) {
            GivenUp givenUp(feed.emplace());
            run.setFileSeen(fed == 2 ? static_cast<FileSeen*>(&givenUp) : &*feed);
            run.Run({location}, {}, ReportType::ListInDetails);
            run.setFileSeen(nullptr);
        }
        std::optional<DuplicatesAhead> reading;
        if (ahead)
            reading.emplace(run.records(), settings.SameBytes, feed ? &*feed : nullptr);
        SummaryHooks hooks;
        hooks.unreadable = [&](const std::string& path, const QString&) { told->push_back(path); };
        hooks.cancelled = [cancel] { return cancel; };
        ScanSummary summary =
            SummarizeScan(run.records(), settings, hooks, reading ? &*reading : nullptr);
        obeyModes.reset();
        tree.chmod("locked.dat", 0644);
        return summary;
    }

    std::vector<std::string> paths(std::initializer_list<const char*> names) const
    {
        std::vector<std::string> out;
        for (const char* name : names)
            out.push_back(tree.path(name));
        std::sort(out.begin(), out.end());
        return out;
    }
};

std::vector<std::string> Sorted(std::vector<std::string> paths)
{
    std::sort(paths.begin(), paths.end());
    return paths;
}

} // namespace

TEST(ScanSummary, TopAndTypesAgreeWithAnIndependentWalk)
{
    SummaryTree t;
    SummarySettings settings;
    settings.Top = settings.Types = true;
    settings.TopCount = 7;
    std::vector<std::string> told;
    const ScanSummary summary = t.summarize(settings, &told);

    // The walk of the test: every regular file but hidden ones, as the scan takes them.
    std::vector<std::pair<std::int64_t, std::string>> files;
    std::map<std::string, std::pair<std::uint64_t, std::int64_t>> types;
    for (const auto& entry : fs::recursive_directory_iterator(t.tree.root())) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_regular_file() || name.starts_with('.'))
            continue;
        const auto size = static_cast<std::int64_t>(entry.file_size());
        files.emplace_back(-size, entry.path().string());
        std::string extension = entry.path().extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
        auto& type = types[extension.empty() ? "" : extension.substr(1)];
        type.first += 1;
        type.second += size;
    }
    std::sort(files.begin(), files.end());
    ASSERT_EQ(summary.top.size(), 7u);
    for (std::size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(summary.top[i].path, files[i].second) << i;
        EXPECT_EQ(summary.top[i].size, -files[i].first) << i;
    }
    ASSERT_EQ(summary.types.size(), types.size());
    std::int64_t total = 0;
    for (const TypeTotal& type : summary.types) {
        EXPECT_EQ(type.files, types[type.extension].first) << type.extension;
        EXPECT_EQ(type.bytes, types[type.extension].second) << type.extension;
        total += type.bytes;
    }
    EXPECT_EQ(summary.totalBytes, total);
    EXPECT_EQ(summary.types.front().extension, "bin");
    EXPECT_TRUE(std::is_sorted(summary.types.begin(), summary.types.end(),
                               [](const auto& a, const auto& b) { return a.bytes > b.bytes; }));
    EXPECT_TRUE(told.empty()) << "top and types read no file";
}

TEST(ScanSummary, DuplicatesAreEqualSizeAndChecksumAndOptionallyEqualBytes)
{
    SummaryTree t;
    SummarySettings settings;
    settings.Duplicates = true;
    std::vector<std::string> told;
    const ScanSummary crcOnly = t.summarize(settings, &told);
    // The unreadable file is named, left out, and its twin stays alone.
    EXPECT_EQ(told, std::vector<std::string>{t.tree.path("locked.dat")});
    EXPECT_EQ(crcOnly.unreadable, told);
    ASSERT_EQ(crcOnly.duplicates.size(), 2u);
    const DuplicateGroup& first = crcOnly.duplicates[0];
    EXPECT_EQ(Sorted(first.paths),
              t.paths({"a/big.bin", "a/link.bin", "b/deep/copy.BIN", "b/twin.bin", "copy.bin"}));
    EXPECT_EQ(first.wasted(), 3 * 5000) << "the hard link wastes nothing";
    EXPECT_EQ(Sorted(crcOnly.duplicates[1].paths), t.paths({"b/n2.txt", "n1.txt"}));
    EXPECT_EQ(crcOnly.duplicates[1].wasted(), 6);
    // Read whole only where size and first block are shared: not "same size.bin", n3.txt...
    EXPECT_EQ(crcOnly.filesRead, 7u);

    told.clear();
    settings.SameBytes = true;
    const ScanSummary bytes = t.summarize(settings, &told);
    EXPECT_EQ(told, std::vector<std::string>{t.tree.path("locked.dat")});
    ASSERT_EQ(bytes.duplicates.size(), 2u);
    EXPECT_EQ(Sorted(bytes.duplicates[0].paths),
              t.paths({"a/big.bin", "a/link.bin", "b/deep/copy.BIN", "copy.bin"}));
    EXPECT_EQ(bytes.duplicates[0].wasted(), 2 * 5000);

    std::vector<std::string> lines =
        SummaryReportLines(bytes, [](std::string_view text) { return std::string(text); });
    const auto has = [&](const std::string& text) {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& line) { return line.find(text) != line.npos; });
    };
    EXPECT_TRUE(has("Duplicates (equal size, CRC32 and bytes)"));
    EXPECT_TRUE(has("could not be read and are not counted as duplicates"));
    EXPECT_TRUE(has(t.tree.path("locked.dat")));
}

// Read on a thread of their own, and with their first blocks read during the walk as well.
TEST(ScanSummary, DuplicatesReadOnThreadsAreTheSameAndStopWhenCancelled)
{
    SummaryTree t;
    SummarySettings settings;
    settings.Duplicates = true;
    for (const auto& [sameBytes, fed] :
         {std::pair{false, 0}, {true, 0}, {false, 1}, {true, 1}, {false, 2}}) {
        settings.SameBytes = sameBytes;
        std::vector<std::string> told, toldAhead;
        const ScanSummary alone = t.summarize(settings, &told);
        const ScanSummary ahead = t.summarize(settings, &toldAhead, true, false, fed);
        ASSERT_EQ(told.size(), 1u);
        EXPECT_EQ(toldAhead, told) << sameBytes << fed;
        EXPECT_EQ(ahead.unreadable, alone.unreadable) << sameBytes << fed;
        EXPECT_EQ(ahead.filesRead, alone.filesRead) << sameBytes << fed;
        EXPECT_FALSE(ahead.stopped);
        ASSERT_EQ(ahead.duplicates.size(), alone.duplicates.size()) << sameBytes << fed;
        for (std::size_t i = 0; i < alone.duplicates.size(); ++i) {
            EXPECT_EQ(ahead.duplicates[i].paths, alone.duplicates[i].paths) << i;
            EXPECT_EQ(ahead.duplicates[i].crc, alone.duplicates[i].crc) << i;
            EXPECT_EQ(ahead.duplicates[i].copies, alone.duplicates[i].copies) << i;
        }
    }
    std::vector<std::string> told;
    EXPECT_TRUE(t.summarize(settings, &told, true, true).stopped);
    EXPECT_TRUE(t.summarize(settings, &told, true, true, 1).stopped);
    // Given up before the summary is written: the reading stops and its thread ends.
    {
        const DuplicatesAhead unused(t.run.records(), false);
    }
    {
        DuplicatesFeed feed;
        t.run.setFileSeen(&feed);
        t.run.Run({t.location}, {}, ReportType::ListInDetails);
        t.run.setFileSeen(nullptr);
    }
}

TEST(ScanSummary, KindsAndSettingsReadBackAndDamageTakesTheDefault)
{
    SummarySettings kinds;
    EXPECT_TRUE(ParseSummaryKinds("top, Duplicates", kinds));
    EXPECT_TRUE(kinds.Top && kinds.Duplicates && !kinds.Types);
    EXPECT_FALSE(ParseSummaryKinds("top,size", kinds));
    EXPECT_FALSE(ParseSummaryKinds(" ", kinds));

    SettingsStore store;
    kinds.TopCount = 7;
    kinds.Alone = true;
    SaveSummarySettings(kinds, store);
    EXPECT_EQ(LoadSummarySettings(store), kinds);
    store.setValue("Summaries", "TopCount", "0");
    store.setValue("Summaries", "Alone", "2");
    EXPECT_EQ(LoadSummarySettings(store).TopCount, 20);
    EXPECT_FALSE(LoadSummarySettings(store).Alone);
}
