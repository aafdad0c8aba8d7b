#include "scan/Walker.h"
#include "support/FixtureTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillon;
using quillon::test::FixtureTree;

namespace {

// Walks one location and returns the records as "folder|name|size" with the fixture's root
// replaced by "R", sorted, so tests read like the tree they build.
struct Walk {
    WalkSettings settings;
    ExclusionList exclusions;
    std::vector<std::string> locations; // defaults to the walked location only
    ProgressHooks hooks;
    bool cancel = false;
    RecordList records;
    std::vector<std::string> unreadable;

    std::vector<std::string> run(const FixtureTree& tree, const std::string& relative = {})
    {
        const std::string location = tree.path(relative);
        if (locations.empty())
            locations.push_back(location);
        Walker walker(records, exclusions, locations, hooks, &cancel);
        walker.WalkLocation(location, settings);
        for (const FolderNode* node : walker.unreadableFolders())
            unreadable.push_back(node->path.substr(tree.root().size()));
        std::vector<std::string> texts;
        for (std::size_t i = 1; i <= records.lastIndex(); ++i) {
            std::string text = RecordText(records[i]);
            if (text.compare(0, tree.root().size(), tree.root()) == 0)
                text.replace(0, tree.root().size(), "R");
            texts.push_back(text);
        }
        std::sort(texts.begin(), texts.end());
        return texts;
    }
};

std::string FileRec(const std::string& folder, const std::string& name, long long size = 0)
{
    char digits[32];
    std::snprintf(digits, sizeof digits, "%015lld", size);
    return folder + "|" + name + "|" + digits;
}

std::string FolderRec(const std::string& folder)
{
    return folder + "|" + std::string(39, '$') + "|" + std::string(17, '0');
}

std::vector<std::string> Sorted(std::vector<std::string> texts)
{
    std::sort(texts.begin(), texts.end());
    return texts;
}

bool Contains(const std::vector<std::string>& texts, const std::string& text)
{
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

} // namespace

TEST(Walker, RecordsFilesAndFoldersWithPathsEndingInSlash)
{
    FixtureTree tree;
    tree.file("a.txt", "hello");
    tree.file("Sub/b.bin", "xy");
    tree.folder("Empty");
    Walk walk;
    EXPECT_EQ(walk.run(tree), Sorted({FolderRec("R/"), FolderRec("R/Empty/"), FolderRec("R/Sub/"),
                                      FileRec("R/Sub/", "b.bin", 2), FileRec("R/", "a.txt", 5)}));
    // Every record of a folder shares its one node.
    const FolderNode* sub = nullptr;
    for (std::size_t i = 1; i <= walk.records.lastIndex(); ++i) {
        const ScanRecord& record = walk.records[i];
        if (record.folder->path != tree.path("Sub/"))
            continue;
        if (!sub)
            sub = record.folder;
        EXPECT_EQ(record.folder, sub);
        EXPECT_EQ(record.folder->parent->path, tree.root() + "/");
    }
}

TEST(Walker, ListInDetailsMakesNoFolderRecords)
{
    FixtureTree tree;
    tree.file("a.txt");
    tree.file("Sub/b.txt");
    Walk walk;
    walk.settings.folderRecords = false;
    EXPECT_EQ(walk.run(tree),
              (std::vector<std::string>{FileRec("R/Sub/", "b.txt"), FileRec("R/", "a.txt")}));
}

TEST(Walker, SubFoldersOffRecordsOnlyTheLocationsOwnFiles)
{
    FixtureTree tree;
    tree.file("a.txt");
    tree.file("Sub/b.txt");
    Walk walk;
    walk.settings.subFolders = false;
    EXPECT_EQ(walk.run(tree), (std::vector<std::string>{FolderRec("R/"), FileRec("R/", "a.txt")}));
}

TEST(Walker, DepthLimitsCountLevelsBelowTheLocation)
{
    FixtureTree tree;
    tree.file("L0.txt");
    tree.file("A/L1.txt");
    tree.file("A/B/L2.txt");
    tree.file("A/B/C/L3.txt");
    tree.file("A/B/C/D/L4.txt");
    const auto filesAt = [&](int limit) {
        Walk walk;
        walk.settings.depthLimit = limit;
        walk.settings.folderRecords = false;
        std::string names;
        for (const std::string& text : walk.run(tree))
            names += text.substr(text.find("|L") + 1, 2);
        std::sort(names.begin(), names.end());
        return names;
    };
    EXPECT_EQ(filesAt(1), "01LL");
    EXPECT_EQ(filesAt(3), "0123LLLL");
    EXPECT_EQ(filesAt(0), "01234LLLLL");
    EXPECT_EQ(filesAt(-1), "0L");

    // No folder record either for a folder beyond the limit.
    Walk walk;
    walk.settings.depthLimit = 1;
    const auto texts = walk.run(tree);
    EXPECT_TRUE(Contains(texts, FolderRec("R/A/")));
    EXPECT_FALSE(Contains(texts, FolderRec("R/A/B/")));
}

TEST(Walker, DepthIsMeasuredAgainstTheFirstMatchingLocationWhateverItsCase)
{
    FixtureTree tree;
    tree.file("Data/Sub/x.txt");
    tree.file("Data/Sub/Deep/y.txt");
    Walk walk;
    walk.settings.depthLimit = 1;
    walk.settings.folderRecords = false;
    walk.locations = {tree.path("DATA")};
    EXPECT_EQ(walk.run(tree, "Data"), (std::vector<std::string>{FileRec("R/Data/Sub/", "x.txt")}));
}

TEST(Walker, TypeFilterTestsContainmentWithoutRegardToCase)
{
    FixtureTree tree;
    for (const char* name : {"song.MP3", "x.mp", "readme.txt", "README", "photo.jpg", "notes."})
        tree.file(name);
    Walk walk;
    walk.settings.filter = ".mp3;.jpg";
    walk.settings.folderRecords = false;
    EXPECT_EQ(walk.run(tree),
              (std::vector<std::string>{FileRec("R/", "photo.jpg"), FileRec("R/", "song.MP3"),
                                        FileRec("R/", "x.mp")}));
}

TEST(Walker, AllFilesTakesNamesWithoutExtension)
{
    FixtureTree tree;
    for (const char* name : {"Makefile", "archive.tar.gz", "LICENSE"})
        tree.file(name);
    Walk walk;
    walk.settings.folderRecords = false;
    EXPECT_EQ(walk.run(tree),
              (std::vector<std::string>{FileRec("R/", "LICENSE"), FileRec("R/", "Makefile"),
                                        FileRec("R/", "archive.tar.gz")}));
}

TEST(Walker, ExcludedNamesAndExtensionsIgnoreCase)
{
    FixtureTree tree;
    for (const char* name : {"a.tmp", "b.Tmp", "a.tmp.bak", "Thumbs.DB", "keep.txt", "TMP"})
        tree.file(std::string("Sub/") + name);
    Walk walk;
    walk.settings.folderRecords = false;
    walk.exclusions.extensions = {"*.TMP"};
    walk.exclusions.fileNames = {"thumbs.db"};
    EXPECT_EQ(walk.run(tree),
              (std::vector<std::string>{FileRec("R/Sub/", "TMP"), FileRec("R/Sub/", "a.tmp.bak"),
                                        FileRec("R/Sub/", "keep.txt")}));
}

TEST(Walker, ExcludedFolderHidesOnlyItsOwnFilesUnlessSubFoldersIncluded)
{
    FixtureTree tree;
    tree.file("Temp/x.txt");
    tree.file("Temp/Sub/y.txt");
    tree.file("other.txt");

    Walk own;
    own.exclusions.folders = {QString::fromStdString(tree.path("TEMP"))};
    const auto ownResult = own.run(tree);
    EXPECT_FALSE(Contains(ownResult, FileRec("R/Temp/", "x.txt")));
    EXPECT_TRUE(Contains(ownResult, FileRec("R/Temp/Sub/", "y.txt")));
    EXPECT_TRUE(Contains(ownResult, FolderRec("R/Temp/")));

    Walk whole;
    whole.exclusions.folders = {QString::fromStdString(tree.path("Temp") + "/")};
    whole.exclusions.includeSubFolders = true;
    EXPECT_EQ(whole.run(tree),
              (std::vector<std::string>{FolderRec("R/"), FileRec("R/", "other.txt")}));
}

TEST(Walker, HiddenFilesAreNeverTakenHiddenFoldersAreEntered)
{
    FixtureTree tree;
    tree.file(".hidden");
    tree.file(".config/settings.ini");
    Walk walk;
    walk.settings.folderRecords = false;
    EXPECT_EQ(walk.run(tree), (std::vector<std::string>{FileRec("R/.config/", "settings.ini")}));
}

TEST(Walker, RecordsSizesBeyondFourGigabytes)
{
    FixtureTree tree;
    tree.sparseFile("big.img", 5000000000LL);
    Walk walk;
    walk.settings.folderRecords = false;
    EXPECT_EQ(walk.run(tree), (std::vector<std::string>{"R/|big.img|000005000000000"}));
}

TEST(Walker, OddNamesComeThroughAsBytes)
{
    FixtureTree tree;
    const std::vector<std::string> names = {"pipe|name",       "what?",     "new\nline",
                                            "bad\xff\xfe.txt", "tab\there", "star*{}\\"};
    for (const std::string& name : names)
        tree.file("odd|dir\n/" + name);
    Walk walk;
    walk.settings.folderRecords = false;
    walk.run(tree);
    ASSERT_EQ(walk.records.lastIndex(), names.size());
    std::vector<std::string> found;
    for (std::size_t i = 1; i <= walk.records.lastIndex(); ++i) {
        EXPECT_EQ(walk.records[i].folder->path, tree.path("odd|dir\n/"));
        found.push_back(walk.records[i].name);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> expected = names;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(found, expected);
}

TEST(Walker, LinksAreListedButNeverEntered)
{
    FixtureTree tree;
    tree.file("real/a.txt");
    tree.symlink("real/loop", "..");
    tree.symlink("real/self", ".");
    tree.symlink("real/dangling", "nowhere");
    Walk walk;
    const auto texts = walk.run(tree);
    EXPECT_TRUE(Contains(texts, FileRec("R/real/", "loop", 2)));
    EXPECT_TRUE(Contains(texts, FileRec("R/real/", "dangling", 7)));
    EXPECT_EQ(texts.size(), 6u); // two folders, a.txt and three links
}

TEST(Walker, UnreadableFolderKeepsItsRecordAndErrorAndTheWalkGoesOn)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every folder";
    FixtureTree tree;
    tree.file("locked/secret.txt");
    tree.file("open/visible.txt");
    tree.chmod("locked", 0);
    Walk walk;
    const auto texts = walk.run(tree);
    EXPECT_TRUE(Contains(texts, FolderRec("R/locked/")));
    EXPECT_TRUE(Contains(texts, FileRec("R/open/", "visible.txt")));
    EXPECT_FALSE(Contains(texts, FileRec("R/locked/", "secret.txt")));
    EXPECT_EQ(walk.unreadable, (std::vector<std::string>{"/locked/"}));
    for (std::size_t i = 1; i <= walk.records.lastIndex(); ++i) {
        if (walk.records[i].folder->path == tree.path("locked/")) {
            EXPECT_EQ(walk.records[i].folder->readError, EACCES);
        }
    }
}

TEST(Walker, FoldersAndFilesThatVanishDuringTheWalkAreSkipped)
{
    FixtureTree tree;
    tree.file("gone/inside.txt");
    tree.file("vanish.txt");
    tree.file("stays.txt");
    Walk walk;
    bool removed = false;
    // The location's entries are read before the first entry is handled.
    walk.hooks.yield = [&] {
        if (!removed) {
            removed = true;
            std::remove(tree.path("gone/inside.txt").c_str());
            ::rmdir(tree.path("gone").c_str());
            std::remove(tree.path("vanish.txt").c_str());
        }
    };
    EXPECT_EQ(walk.run(tree),
              Sorted({FolderRec("R/"), FolderRec("R/gone/"), FileRec("R/", "stays.txt")}));
    EXPECT_EQ(walk.unreadable, (std::vector<std::string>{"/gone/"}));
}

TEST(Walker, MissingLocationGivesOnlyItsFolderRecord)
{
    FixtureTree tree;
    Walk walk;
    EXPECT_EQ(walk.run(tree, "gone"), (std::vector<std::string>{FolderRec("R/gone/")}));
    EXPECT_EQ(walk.unreadable, (std::vector<std::string>{"/gone/"}));
}

namespace {

// Builds a chain of `depth` folders named "d" below root with openat, since the full path
// soon outgrows PATH_MAX, and puts "bottom.txt" into the last one.
void MakeDeepChain(const std::string& root, int depth)
{
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < depth; ++i) {
        ASSERT_EQ(::mkdirat(fd, "d", 0755), 0) << i;
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        ASSERT_GE(fd, 0);
    }
    const int file = ::openat(fd, "bottom.txt", O_CREAT | O_WRONLY, 0644);
    ::close(file);
    ::close(fd);
}

// Removes such a chain again, deepest first, without building long paths.
void RemoveDeepChain(const std::string& root, int depth)
{
    std::vector<int> fds{::open(root.c_str(), O_RDONLY | O_DIRECTORY)};
    for (int i = 0; i < depth; ++i)
        fds.push_back(::openat(fds.back(), "d", O_RDONLY | O_DIRECTORY));
    ::unlinkat(fds.back(), "bottom.txt", 0);
    for (int i = depth; i >= 1; --i) {
        ::close(fds[i]);
        ::unlinkat(fds[i - 1], "d", AT_REMOVEDIR);
    }
    ::close(fds[0]);
}

} // namespace

TEST(Walker, TenThousandLevelsDeepWithFewDescriptors)
{
    constexpr int kDepth = 10000;
    FixtureTree tree;
    MakeDeepChain(tree.root(), kDepth);
    Walk walk;
    walk.settings.folderRecords = false;
    RecordList& records = walk.records;
    {
        Walker walker(records, {}, {tree.root()}, {}, nullptr);
        walker.setDescriptorBudget(8); // forces the climb back through ".."
        walker.WalkLocation(tree.root(), walk.settings);
        EXPECT_TRUE(walker.unreadableFolders().empty());
    }
    RemoveDeepChain(tree.root(), kDepth);
    ASSERT_EQ(records.lastIndex(), 1u);
    EXPECT_EQ(records[1].name, "bottom.txt");
    EXPECT_EQ(records[1].folder->path.size(), tree.root().size() + 1 + 2 * kDepth);
    // The chain of parents leads back to the location.
    int levels = 0;
    for (const FolderNode* node = records[1].folder; node->parent; node = node->parent)
        ++levels;
    EXPECT_EQ(levels, kDepth);
}

TEST(Walker, DescriptorBudgetDoesNotChangeWhatIsFound)
{
    FixtureTree tree;
    tree.file("a/b/c/d/e/f.txt");
    tree.file("a/b/c/x.txt");
    tree.file("a/b2/c/y.txt");
    tree.file("a/z.txt");
    const auto walkWith = [&](int budget) {
        RecordList records;
        Walker walker(records, {}, {tree.root()}, {}, nullptr);
        walker.setDescriptorBudget(budget);
        walker.WalkLocation(tree.root(), {});
        std::vector<std::string> texts;
        for (std::size_t i = 1; i <= records.lastIndex(); ++i)
            texts.push_back(RecordText(records[i]));
        std::sort(texts.begin(), texts.end());
        return texts;
    };
    const auto plenty = walkWith(256);
    EXPECT_EQ(plenty.size(), 12u); // eight folders, four files
    EXPECT_EQ(walkWith(2), plenty);
}

TEST(Walker, CancelFromTheYieldHookStopsEveryLevel)
{
    FixtureTree tree;
    for (int i = 0; i < 20; ++i)
        tree.file("a/b/c/f" + std::to_string(i));
    tree.file("z/later.txt");
    Walk walk;
    int yields = 0;
    walk.hooks.yield = [&] {
        if (++yields == 10)
            walk.cancel = true;
    };
    const auto texts = walk.run(tree);
    EXPECT_EQ(yields, 10); // no entry is handled after the cancel
    EXPECT_LT(texts.size(), 10u);
    EXPECT_TRUE(Contains(texts, FolderRec("R/")));
}

TEST(Walker, ProgressTextNamesASubFolderEveryFiftyEntries)
{
    FixtureTree tree;
    for (int i = 0; i < 200; ++i)
        tree.folder("s" + std::to_string(i));
    Walk walk;
    std::vector<QString> texts;
    walk.hooks.status = [&](const QString& text) { texts.push_back(text); };
    walk.run(tree);
    // 200 sub-folders of two entries each, plus their own entries: 802 entries in all.
    EXPECT_GE(texts.size(), 2u);
    EXPECT_LE(texts.size(), 802u / 50 + 1);
    const QString prefix = "Scanning... " + QString::fromStdString(tree.root()) + "/s";
    for (const QString& text : texts) {
        EXPECT_TRUE(text.startsWith(prefix)) << text.toStdString();
        EXPECT_TRUE(text.endsWith("/")) << text.toStdString();
    }
}
