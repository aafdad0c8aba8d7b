#include "LayoutHarness.h"
#include "details/CrcCtrl.h"
#include "details/FileOwner.h"
#include "report/Layouts.h"
#include "report/RtfFraming.h"
#include "report/WriteDetails.h"
#include "support/FixtureTree.h"
#include "support/NoReadOverride.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillon;
using quillon::test::FixtureTree;
using quillon::test::LayoutHarness;

namespace {

using Lines = std::vector<std::string>;

std::string Dashes(int n)
{
    return std::string(static_cast<std::size_t>(n), '-');
}

std::string Padded(const std::string& text, std::size_t width)
{
    return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

/// A folder on disk and its records, so the layout finds the files it lists.
struct DetailsFixture {
    FixtureTree tree;
    LayoutHarness h;
    const FolderNode* root = h.location(tree.root() + "/");

    void add(const FolderNode* folder, const std::string& relative, std::int64_t size,
             const std::string& modified = "2021-03-04 05:06:07")
    {
        tree.file(relative,
                  std::string(static_cast<std::size_t>(std::min<std::int64_t>(size, 4096)), 'x'));
        tree.setModified(relative, modified);
        h.records.appendFile(folder, relative.substr(relative.rfind('/') + 1), size);
    }

    /// The file lines of the body: those ending in " \par" that are not foot lines.
    Lines fileNames() const
    {
        Lines names;
        for (const std::string& line : h.body())
            if (line.ends_with(" \\par") && !line.starts_with("\\") && !line.starts_with("-") &&
                !line.starts_with("Total"))
                names.push_back(line.substr(0, line.find(' ')));
        return names;
    }
};

} // namespace

TEST(ListInDetails, DefaultBlockForOneFile)
{
    DetailsFixture f;
    f.add(f.root, "a.txt", 2048);
    ASSERT_TRUE(RunLayout(ReportType::ListInDetails, f.h.context));

    const std::string title = RtfSafeText("Directory of " + f.tree.root(), f.h.context.settings);
    const Lines expected{
        Dashes(68),
        "\\b\\par " + title + " \\par\\b0",
        Dashes(68) + "\\par\\par",
        Padded("a.txt", 40) + "        2 KB  04/03/2021 \\par",
        "\\par " + Dashes(68),
        "\\par 1 file(s) found \\par ",
        "Total file size 2.00 KB \\par ",
        Dashes(68) + " \\par\\par",
    };
    EXPECT_EQ(f.h.body(), expected);
    EXPECT_TRUE(f.h.bytes().ends_with("\r\n \\par \\par \\par }\r\n"));
    EXPECT_EQ(f.h.counters.files, 1u);
    EXPECT_EQ(f.h.counters.folders, 1u);
    EXPECT_EQ(f.h.counters.sizeTotal, 2048.0);
}

TEST(ListInDetails, EmptyReportStillHasABlockAndSummary)
{
    LayoutHarness h;
    h.context.settings.IncludeFullSum = true;
    h.context.settings.IncludeSeparator = false;
    h.context.settings.IncludeFolderSum = false;
    ASSERT_TRUE(ListInDetails(h.context));
    const Lines expected{
        "\\b\\par Directory of  \\par\\b0",
        " \\par",
        " \\par",
        "\\par\\b Total Summary: \\b0",
        "\\par 0 file(s) found in 0 folder(s) \\par",
        "Total file size 0 bytes \\par",
    };
    EXPECT_EQ(h.body(), expected);
}

TEST(ListInDetails, SortsFilesWithinEachFolderOnly)
{
    DetailsFixture f;
    f.tree.folder("sub");
    const FolderNode* sub = f.h.folder(f.root, f.tree.root() + "/sub/");
    f.add(f.root, "b.txt", 300, "2020-01-02 10:00:00");
    f.add(f.root, "A.txt", 100, "2022-05-06 10:00:00");
    f.add(f.root, "c.txt", 200, "2019-07-08 10:00:00");
    f.add(sub, "sub/z.txt", 1);
    f.add(sub, "sub/y.txt", 2);

    const auto run = [&](const char* key, bool ascending) {
        f.h.context.sort = {QString::fromLatin1(key), ascending};
        f.h.counters = {};
        EXPECT_TRUE(ListInDetails(f.h.context));
        return f.fileNames();
    };
    EXPECT_EQ(run("Name", true), (Lines{"A.txt", "b.txt", "c.txt", "y.txt", "z.txt"}));
    EXPECT_EQ(run("Name", false), (Lines{"c.txt", "b.txt", "A.txt", "z.txt", "y.txt"}));
    EXPECT_EQ(run("Size", false), (Lines{"b.txt", "c.txt", "A.txt", "y.txt", "z.txt"}));
    EXPECT_EQ(run("Size", true), (Lines{"A.txt", "c.txt", "b.txt", "z.txt", "y.txt"}));
    EXPECT_EQ(run("Date", true), (Lines{"c.txt", "b.txt", "A.txt", "y.txt", "z.txt"}));
    EXPECT_EQ(f.h.counters.folders, 2u);

    // With the Date sort the date column is the sort key's day.
    bool seen = false;
    for (const std::string& line : f.h.body())
        if (line.starts_with("c.txt")) {
            EXPECT_NE(line.find("  08/07/2019"), std::string::npos) << line;
            seen = true;
        }
    EXPECT_TRUE(seen);
}

TEST(ListInDetails, VanishedFileLeavesOnlyItsOwnLineOut)
{
    DetailsFixture f;
    f.add(f.root, "b.txt", 10);
    f.h.records.appendFile(f.root, "a-gone.txt", 999); // sorts first, but is not on disk
    f.add(f.root, "c.txt", 20);
    ASSERT_TRUE(ListInDetails(f.h.context));
    EXPECT_EQ(f.fileNames(), (Lines{"b.txt", "c.txt"}));
    EXPECT_EQ(f.h.counters.files, 2u);
    EXPECT_TRUE(f.h.errors.empty());
    const Lines body = f.h.body();
    EXPECT_NE(std::find(body.begin(), body.end(), "\\par 2 file(s) found \\par "), body.end());
}

TEST(ListInDetails, UnconvertibleTimeGivesBlankDateAndTime)
{
    // tmpfs keeps 64-bit times, so a file can carry a year beyond 9999 there.
    QTemporaryDir shm(QStringLiteral("/dev/shm/quillon-XXXXXX"));
    if (!shm.isValid())
        GTEST_SKIP() << "no /dev/shm";
    const std::string folder = shm.path().toStdString() + "/";
    const std::string path = folder + "future.txt";
    ::close(::open(path.c_str(), O_CREAT | O_WRONLY, 0644));
    const timespec times[2] = {{300000000000, 0}, {300000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);

    LayoutHarness h;
    h.context.settings.Fields[DetailColumn::Time] = true;
    h.records.appendFile(h.location(folder), "future.txt", 5);
    ASSERT_TRUE(ListInDetails(h.context));
    const Lines body = h.body();
    ASSERT_GE(body.size(), 4u);
    EXPECT_EQ(body[3],
              Padded("future.txt", 40) + "        0 KB" + std::string(12 + 9, ' ') + " \\par");
    EXPECT_TRUE(h.errors.empty());
}

TEST(ListInDetails, LongNamesSizesAndTitles)
{
    DetailsFixture f;
    const std::string longName = std::string(45, 'L') + ".txt";
    f.add(f.root, longName, 5);
    f.h.records.appendFile(f.root, "huge.bin", 1234567890);
    f.tree.file("huge.bin", "x");
    f.h.context.settings.ShowSizeIn = QStringLiteral("Bytes");
    f.h.context.settings.Fields[DetailColumn::Date] = false;
    const std::string deep = "d" + std::string(80, 'e');
    f.tree.folder(deep);
    const FolderNode* deepNode = f.h.folder(f.root, f.tree.path(deep) + "/");
    f.add(deepNode, deep + "/x.txt", 1);
    ASSERT_TRUE(ListInDetails(f.h.context));

    const Lines body = f.h.body();
    const auto has = [&](const std::string& line) {
        return std::find(body.begin(), body.end(), line) != body.end();
    };
    EXPECT_TRUE(has(std::string(37, 'L') + "..." + "           5 \\par"));
    EXPECT_TRUE(has(Padded("huge.bin", 40) + "1,234,567,890 \\par")) << "13 characters, no blanks";
    const int width = 40 + 2 + 14;
    const std::string title = DetailsTitle("Directory of " + f.tree.path(deep), width);
    ASSERT_EQ(title.size(), static_cast<std::size_t>(width));
    EXPECT_TRUE(has("\\b\\par " + RtfSafeText(title, f.h.context.settings) + " \\par\\b0"));
}

TEST(ListInDetails, ProgressEveryFifthFileOfTheWholeReport)
{
    DetailsFixture f;
    f.tree.folder("s");
    const FolderNode* sub = f.h.folder(f.root, f.tree.root() + "/s/");
    for (const char* name : {"1", "2", "3"})
        f.add(f.root, name, 1);
    for (const char* name : {"s/4", "s/5", "s/6", "s/7", "s/8", "s/9", "s/10"})
        f.add(sub, name, 1);
    ASSERT_TRUE(ListInDetails(f.h.context));
    EXPECT_EQ(f.h.statusTexts, (std::vector<QString>{
                                   QStringLiteral("Formatting list, please wait...(5/10) 50.0%"),
                                   QStringLiteral("Formatting list, please wait...(10/10) 100.0%"),
                               }));
}

TEST(ListInDetails, EveryDetailColumn)
{
    DetailsFixture f;
    std::string content(200, 'x');
    const std::string tag = "TAG" + Padded("Title", 30) + std::string("Artist\0", 7) +
                            std::string(23, 'q') + Padded("Album", 30) + "1999" +
                            Padded("Note", 30) + "\x11";
    f.tree.file("song.mp3", content + tag);
    f.tree.setModified("song.mp3", "2021-03-04 05:06:07");
    f.tree.chmod("song.mp3", 0444);
    f.h.records.appendFile(f.root, "song.mp3", 328);
    ReportSettings& s = f.h.context.settings;
    s.Fields[DetailColumn::Filename] = s.Fields[DetailColumn::Size] = s.Fields[DetailColumn::Date] =
        false;
    s.Fields[DetailColumn::Time] = s.Fields[DetailColumn::Attribute] =
        s.Fields[DetailColumn::Version] = s.Fields[DetailColumn::Owner] =
            s.Fields[DetailColumn::CRC32] = true;
    s.Fields[DetailColumn::Title] = s.Fields[DetailColumn::Artist] = s.Fields[DetailColumn::Album] =
        s.Fields[DetailColumn::Year] = s.Fields[DetailColumn::Genre] =
            s.Fields[DetailColumn::Comment] = true;
    s.RemoveBlankSpaces = true;
    ASSERT_TRUE(ListInDetails(f.h.context));

    CrcCtrl crc;
    crc.ComputeFile(f.tree.path("song.mp3"));
    struct stat st;
    ::stat(f.tree.path("song.mp3").c_str(), &st);
    const std::string owner = Padded(FileOwnerName(f.tree.path("song.mp3")), 17);
    const std::string line = " 05:06:07" + std::string("  RA  ") + "  " + std::string(10, ' ') +
                             "   Title   Artist   Album   1999   Rock   Note" + "  " + owner +
                             "  " + crc.Result();
    const Lines body = f.h.body();
    ASSERT_GE(body.size(), 4u);
    EXPECT_EQ(body[3], RtfSafeText(line, s) + " \\par");
}

namespace {

/// Makes a file unreadable (mode 000, obeyed even by root) until restore() gives it its mode
/// back. The checksum never follows a link, so the file itself must refuse to be read.
class FileTurnedUnreadable {
public:
    explicit FileTurnedUnreadable(std::string path) : m_path(std::move(path))
    {
        EXPECT_EQ(::chmod(m_path.c_str(), 0), 0);
        m_noOverride.emplace();
    }
    void restore()
    {
        m_noOverride.reset();
        EXPECT_EQ(::chmod(m_path.c_str(), 0644), 0);
    }

private:
    std::string m_path;
    std::optional<quillon::test::NoReadOverride> m_noOverride;
};

} // namespace

TEST(ListInDetails, ChecksumErrorIsRetriedAsWriteDetails)
{
    DetailsFixture f;
    f.add(f.root, "a.txt", 9);
    f.h.context.settings.Fields[DetailColumn::CRC32] = true;
    std::optional<FileTurnedUnreadable> block;
    // The sort key is made by the first yield; from then on the file cannot be read.
    f.h.context.progress.yield = [&] {
        if (!block && f.h.errors.empty())
            block.emplace(f.tree.path("a.txt"));
    };
    f.h.context.decide = [&](const ErrorReport& report) {
        f.h.errors.push_back(report);
        block->restore();
        return ErrorChoice::Retry;
    };
    ASSERT_TRUE(ListInDetails(f.h.context));
    ASSERT_EQ(f.h.errors.size(), 1u);
    EXPECT_EQ(f.h.errors[0].procedure, QStringLiteral("Write Details"));
    EXPECT_EQ(f.h.errors[0].number, EACCES);
    EXPECT_FALSE(f.h.cancel);
    const Lines body = f.h.body();
    ASSERT_GE(body.size(), 4u);
    EXPECT_TRUE(body[3].ends_with("  6EC2FEC3 \\par")) << body[3];
    EXPECT_EQ(f.h.counters.files, 1u);
}

TEST(ListInDetails, SummaryCountsAlsoWithoutCountersHandedIn)
{
    DetailsFixture f;
    f.add(f.root, "a.txt", 9);
    f.add(f.root, "b.txt", 9);
    f.h.context.settings.IncludeFullSum = true;
    f.h.context.counters = nullptr;
    ASSERT_TRUE(ListInDetails(f.h.context));
    const Lines body = f.h.body();
    ASSERT_GE(body.size(), 2u);
    EXPECT_EQ(body[body.size() - 2], "\\par 2 file(s) found in 1 folder(s) \\par");
}

TEST(ListInDetails, GivingUpInWriteDetailsCancelsButStillLoads)
{
    DetailsFixture f;
    f.add(f.root, "a.txt", 9);
    f.h.context.settings.Fields[DetailColumn::CRC32] = true;
    f.h.context.settings.IncludeFullSum = true;
    std::optional<FileTurnedUnreadable> block;
    f.h.context.progress.yield = [&] {
        if (!block)
            block.emplace(f.tree.path("a.txt"));
    };
    f.h.context.decide = [&](const ErrorReport& report) {
        f.h.errors.push_back(report);
        block->restore();
        return ErrorChoice::Abort;
    };
    ASSERT_TRUE(ListInDetails(f.h.context)) << "the report is still finished and loaded";
    EXPECT_TRUE(f.h.cancel);
    const Lines body = f.h.body();
    ASSERT_EQ(body.size(), 6u) << "head, no file line, no folder foot, full summary";
    EXPECT_EQ(body[3], "\\par\\b Total Summary: \\b0");
    EXPECT_TRUE(f.h.bytes().ends_with(" \\par \\par \\par }\r\n"));
}

TEST(ListInDetails, StagingFailureEndsTheLayout)
{
    LayoutHarness h;
    h.context.stagingPath = QStringLiteral("/nonexistent-folder/tmpfile.dmp");
    EXPECT_FALSE(ListInDetails(h.context));
    ASSERT_EQ(h.errors.size(), 1u);
    EXPECT_EQ(h.errors[0].procedure, QStringLiteral("List In Details"));
    EXPECT_TRUE(h.cancel);
}

TEST(ListInDetails, UnreadableChecksumInBatchKeepsTheLineAndTheRestOfTheReport)
{
    DetailsFixture f;
    f.add(f.root, "a.txt", 9);
    f.add(f.root, "b.txt", 9);
    f.h.context.settings.Fields[DetailColumn::CRC32] = true;
    ASSERT_EQ(::chmod(f.tree.path("a.txt").c_str(), 0), 0);
    std::vector<std::pair<std::string, QString>> told;
    f.h.context.unreadableDetail = [&](const std::string& path, const QString& reason) {
        told.emplace_back(path, reason);
    };
    {
        const test::NoReadOverride obeyModes;
        ASSERT_TRUE(ListInDetails(f.h.context));
    }
    EXPECT_TRUE(f.h.errors.empty()) << "no Retry/Abort question in batch mode";
    EXPECT_FALSE(f.h.cancel);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].first, f.tree.path("a.txt"));
    EXPECT_EQ(told[0].second, QStringLiteral("Permission denied"));
    EXPECT_EQ(f.fileNames(), (Lines{"a.txt", "b.txt"}));
    const Lines body = f.h.body();
    ASSERT_GE(body.size(), 5u);
    EXPECT_FALSE(body[3].ends_with("6EC2FEC3 \\par")) << "blank checksum: " << body[3];
    EXPECT_TRUE(body[4].ends_with("  6EC2FEC3 \\par")) << body[4];
    EXPECT_EQ(f.h.counters.files, 2u);
    EXPECT_TRUE(f.h.bytes().find("2 file(s) found") != std::string::npos);
}

TEST(ListInDetails, FilesDeeperThanPathMaxAreAllListed)
{
    // 40 levels of 200-byte names: the deepest paths are twice PATH_MAX long.
    FixtureTree tree;
    LayoutHarness h;
    const std::string name(200, 'd');
    std::vector<int> fds{::open(tree.root().c_str(), O_RDONLY | O_DIRECTORY)};
    const FolderNode* folder = h.location(tree.root() + "/");
    std::string path = tree.root() + "/";
    constexpr int kLevels = 40;
    for (int level = 0; level < kLevels; ++level) {
        ASSERT_EQ(::mkdirat(fds.back(), name.c_str(), 0755), 0);
        fds.push_back(::openat(fds.back(), name.c_str(), O_RDONLY | O_DIRECTORY));
        ASSERT_GE(fds.back(), 0);
        path += name + "/";
        folder = h.folder(folder, path);
        const int file = ::openat(fds.back(), "f.txt", O_CREAT | O_WRONLY, 0644);
        ASSERT_EQ(::write(file, "123456789", 9), 9);
        ::close(file);
        h.records.appendFile(folder, "f.txt", 9);
    }
    h.context.settings.Fields[DetailColumn::CRC32] = true;
    h.context.settings.IncludeFullSum = true;
    const bool done = ListInDetails(h.context);
    // Removed by descriptor: the test folder's own clean-up works by path.
    for (std::size_t i = fds.size() - 1; i > 0; --i) {
        ::unlinkat(fds[i], "f.txt", 0);
        ::close(fds[i]);
        ::unlinkat(fds[i - 1], name.c_str(), AT_REMOVEDIR);
    }
    ::close(fds[0]);
    ASSERT_TRUE(done);
    EXPECT_EQ(h.counters.files, static_cast<quint32>(kLevels));
    const std::string bytes = h.bytes();
    EXPECT_NE(bytes.find("40 file(s) found in 40 folder(s)"), std::string::npos);
    std::size_t checksums = 0;
    for (std::size_t at = 0; (at = bytes.find("CBF43926", at)) != std::string::npos; ++at)
        ++checksums;
    EXPECT_EQ(checksums, static_cast<std::size_t>(kLevels)) << "every detail read at any depth";
}

TEST(ListInDetails, AFileWhoseStatusTurnedUnreadableKeepsItsNameWithBlankValues)
{
    // The folder lost its search permission after the walk: the names are known, nothing else.
    DetailsFixture f;
    const FolderNode* shut = f.h.folder(f.root, f.tree.root() + "/shut/");
    f.add(shut, "shut/a.txt", 9);
    f.add(f.root, "b.txt", 9);
    f.h.context.settings.Fields[DetailColumn::Attribute] = true;
    ASSERT_EQ(::chmod(f.tree.path("shut").c_str(), 0644), 0);
    std::vector<std::pair<std::string, QString>> told;
    f.h.context.unreadableDetail = [&](const std::string& path, const QString& reason) {
        told.emplace_back(path, reason);
    };
    {
        const test::NoReadOverride obeyModes;
        ASSERT_TRUE(ListInDetails(f.h.context));
    }
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].first, f.tree.path("shut/a.txt"));
    EXPECT_EQ(told[0].second, QStringLiteral("Permission denied (status)"));
    EXPECT_EQ(f.fileNames(), (Lines{"a.txt", "b.txt"}));
    for (const std::string& line : f.h.body()) {
        if (line.starts_with("a.txt")) {
            EXPECT_EQ(line.find_first_not_of(' ', 5), line.find("\\par")) << "all blank: " << line;
        }
    }
}
