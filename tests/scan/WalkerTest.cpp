#include "scan/Walker.h"
#include "support/FixtureTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <pthread.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillon;
using quillon::test::FixtureTree;
using Texts = std::vector<std::string>;

namespace {

// Every field of each record in walk order, with its folder's place and read error: what a
// walk on several threads must give exactly as one thread does.
Texts Detailed(const RecordList& records)
{
    Texts texts;
    for (std::size_t i = 1; i <= records.lastIndex(); ++i) {
        const ScanRecord& r = records[i];
        texts.push_back(RecordText(r) + "|" + std::to_string(r.folder->index) + "|" +
                        std::to_string(r.folder->readError) + "|" + std::to_string(r.modified) +
                        (r.statKnown ? "k" : "") + (r.link ? "l" : "") + (r.repeatLink ? "r" : "") +
                        "|" + std::to_string(r.statError));
    }
    return texts;
}

Texts UnreadablePaths(const Walker& walker)
{
    Texts paths;
    for (const FolderNode* node : walker.unreadableFolders())
        paths.push_back(node->path() + ":" + std::to_string(node->readError));
    return paths;
}

// Walks one location; records come back as "folder|name|size" with the fixture's root shown
// as "R", sorted, so expectations read like the tree they build. Unless a hook or cancel
// takes part, the same walk on four threads must give the same records in the same order.
struct Walk {
    WalkSettings settings;
    ExclusionList exclusions;
    std::vector<std::string> locations; // defaults to the walked location
    ProgressHooks hooks;
    bool cancel = false;
    int budget = 256;
    RecordList records;
    Texts unreadable;

    Texts run(const FixtureTree& tree, const std::string& relative = {})
    {
        const std::string location = tree.path(relative);
        Walker walker(records, exclusions, locations.empty() ? Texts{location} : locations, hooks,
                      &cancel);
        walker.setDescriptorBudget(budget);
        walker.setThreads(1);
        walker.WalkLocation(location, settings);
        for (const FolderNode* node : walker.unreadableFolders())
            unreadable.push_back("R" + node->path().substr(tree.root().size()));
        if (!hooks.yield && !hooks.status && !cancel) {
            RecordList parallel;
            Walker threaded(parallel, exclusions, locations.empty() ? Texts{location} : locations,
                            {}, nullptr);
            threaded.setDescriptorBudget(budget);
            threaded.setThreads(4);
            threaded.WalkLocation(location, settings);
            EXPECT_EQ(Detailed(parallel), Detailed(records)) << "walked on four threads";
            EXPECT_EQ(UnreadablePaths(threaded), UnreadablePaths(walker));
        }
        Texts texts;
        for (std::size_t i = 1; i <= records.lastIndex(); ++i)
            texts.push_back("R" + RecordText(records[i]).substr(tree.root().size()));
        std::sort(texts.begin(), texts.end());
        return texts;
    }
};

std::string File(const std::string& folder, const std::string& name, long long size = 0)
{
    char digits[32];
    std::snprintf(digits, sizeof digits, "%015lld", size);
    return folder + "|" + name + "|" + digits;
}

std::string Folder(const std::string& folder)
{
    return folder + "|" + std::string(39, '$') + "|" + std::string(17, '0');
}

Texts Sorted(Texts texts)
{
    std::sort(texts.begin(), texts.end());
    return texts;
}

} // namespace

TEST(Walker, RecordsShareOneFolderNodeAndKeepLargeSizes)
{
    FixtureTree tree;
    tree.file("a.txt", "hello");
    tree.sparseFile("Sub/big.img", 5000000000LL);
    tree.folder("Empty");
    Walk walk;
    EXPECT_EQ(walk.run(tree), Sorted({Folder("R/"), Folder("R/Empty/"), Folder("R/Sub/"),
                                      "R/Sub/|big.img|000005000000000", File("R/", "a.txt", 5)}));
    const FolderNode* sub = nullptr;
    for (std::size_t i = 1; i <= walk.records.lastIndex(); ++i) {
        if (walk.records[i].folder->path() != tree.path("Sub/"))
            continue;
        sub = sub ? sub : walk.records[i].folder;
        EXPECT_EQ(walk.records[i].folder, sub);
        EXPECT_EQ(sub->parent->path(), tree.root() + "/");
    }

    Walk details; // List In Details: files only
    details.settings.folderRecords = false;
    EXPECT_EQ(details.run(tree).size(), 2u);
}

TEST(Walker, SubFolderFlagAndDepthLimits)
{
    FixtureTree tree;
    for (const char* file : {"L0", "A/L1", "A/B/L2", "A/B/C/L3", "A/B/C/D/L4"})
        tree.file(file);
    const auto levels = [&](int limit, bool subFolders = true) {
        Walk walk;
        walk.settings.depthLimit = limit;
        walk.settings.subFolders = subFolders;
        std::string found;
        for (const std::string& text : walk.run(tree))
            found += text.find("|L") != std::string::npos ? text.substr(text.find("|L") + 2, 1)
                                                          : std::string("f");
        std::sort(found.begin(), found.end());
        return found; // one digit per file level, one "f" per folder record
    };
    EXPECT_EQ(levels(0, false), "0f");
    EXPECT_EQ(levels(1), "01ff");
    EXPECT_EQ(levels(3), "0123ffff");
    EXPECT_EQ(levels(0), "01234fffff");
    EXPECT_EQ(levels(-1), "0f");

    // Depth counts from the first location that matches the path, whatever its case.
    Walk walk;
    walk.settings.depthLimit = 1;
    walk.settings.folderRecords = false;
    walk.locations = {tree.path("a")};
    EXPECT_EQ(walk.run(tree, "A"), Sorted({File("R/A/", "L1"), File("R/A/B/", "L2")}));
}

TEST(Walker, LongerLocationTakesOverTheDepthBelowIt)
{
    // The first location that begins a path measures it, even one that begins it only as text
    // ("n/bb" begins "n/bbc") and only deeper down than where the walk started.
    FixtureTree tree;
    for (const char* file : {"n/f1", "n/b/f2", "n/b/x/f3", "n/bb/f4", "n/bb/c/f5", "n/bbc/f6",
                             "n/bbc/d/f7", "n/bbc/d/e/f8"})
        tree.file(file);
    Walk walk;
    walk.settings.depthLimit = 1;
    walk.settings.folderRecords = false;
    walk.locations = {tree.path("n/bb"), tree.path("n")};
    EXPECT_EQ(walk.run(tree, "n"),
              Sorted({File("R/n/", "f1"), File("R/n/b/", "f2"), File("R/n/bb/", "f4"),
                      File("R/n/bb/c/", "f5"), File("R/n/bbc/", "f6"), File("R/n/bbc/d/", "f7")}));
}

TEST(Walker, FilterExclusionsAndHiddenFiles)
{
    FixtureTree tree;
    for (const char* name :
         {"song.MP3", "x.mp", "readme.txt", "README", "photo.jpg", "notes.", "a.tmp", "b.Tmp",
          "c.tmp.bak", "Thumbs.DB", ".hidden.mp3", ".config/in-hidden.jpg"})
        tree.file(name);
    Walk filtered;
    filtered.settings.folderRecords = false;
    filtered.settings.filter = ".mp3;.jpg";
    EXPECT_EQ(filtered.run(tree),
              Sorted({File("R/.config/", "in-hidden.jpg"), File("R/", "photo.jpg"),
                      File("R/", "song.MP3"), File("R/", "x.mp")}));

    Walk all; // "*.*" takes names without "." too
    all.settings.folderRecords = false;
    all.exclusions.extensions = {"*.TMP"};
    all.exclusions.fileNames = {"thumbs.db"};
    const Texts texts = all.run(tree);
    EXPECT_EQ(texts.size(), 8u);
    for (const char* name : {"README", "notes.", "c.tmp.bak"})
        EXPECT_NE(std::find(texts.begin(), texts.end(), File("R/", name)), texts.end()) << name;
}

TEST(Walker, ExcludedFolderHidesItsFilesOrItsWholeTree)
{
    FixtureTree tree;
    tree.file("Temp/x.txt");
    tree.file("Temp/Sub/y.txt");
    tree.file("other.txt");
    Walk own;
    own.exclusions.folders = {QString::fromStdString(tree.path("TEMP"))};
    EXPECT_EQ(own.run(tree), Sorted({Folder("R/"), Folder("R/Temp/"), Folder("R/Temp/Sub/"),
                                     File("R/Temp/Sub/", "y.txt"), File("R/", "other.txt")}));
    Walk whole;
    whole.exclusions.folders = {QString::fromStdString(tree.path("Temp/"))};
    whole.exclusions.includeSubFolders = true;
    EXPECT_EQ(whole.run(tree), Sorted({Folder("R/"), File("R/", "other.txt")}));
}

TEST(Walker, OddNamesComeThroughAsBytes)
{
    FixtureTree tree;
    const Texts names = {"pipe|name", "what?", "new\nline", "bad\xff\xfe.txt", "star*{}\\"};
    for (const std::string& name : names)
        tree.file("odd|dir\n/" + name);
    Walk walk;
    walk.settings.folderRecords = false;
    walk.run(tree);
    Texts found;
    for (std::size_t i = 1; i <= walk.records.lastIndex(); ++i) {
        EXPECT_EQ(walk.records[i].folder->path(), tree.path("odd|dir\n/"));
        found.push_back(walk.records[i].name);
    }
    EXPECT_EQ(Sorted(found), Sorted(names));
}

TEST(Walker, LinksAreListedWithTheirOwnSizeButNeverEntered)
{
    FixtureTree tree;
    tree.file("real/a.txt");
    tree.symlink("real/loop", "..");
    tree.symlink("real/dangling", "nowhere");
    Walk walk;
    EXPECT_EQ(walk.run(tree), Sorted({Folder("R/"), Folder("R/real/"), File("R/real/", "a.txt"),
                                      File("R/real/", "loop", 2), File("R/real/", "dangling", 7)}));
}

TEST(Walker, UnreadableAndVanishedFoldersKeepTheirRecordAndError)
{
    FixtureTree tree;
    tree.file("gone/inside.txt");
    tree.file("vanish.txt");
    tree.file("locked/secret.txt");
    tree.chmod("locked", 0);
    const bool root = ::geteuid() == 0; // root reads every folder
    Walk walk;
    bool removed = false;
    walk.hooks.yield = [&] { // the location's entries are all read before the first yield
        if (!std::exchange(removed, true)) {
            std::remove(tree.path("gone/inside.txt").c_str());
            ::rmdir(tree.path("gone").c_str());
            std::remove(tree.path("vanish.txt").c_str());
        }
    };
    const Texts texts = walk.run(tree);
    EXPECT_EQ(texts.size(), root ? 4u : 3u);
    EXPECT_NE(std::find(texts.begin(), texts.end(), Folder("R/gone/")), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), Folder("R/locked/")), texts.end());
    EXPECT_EQ(walk.unreadable, root ? Texts{"R/gone/"} : Sorted({"R/gone/", "R/locked/"}));

    Walk missing;
    EXPECT_EQ(missing.run(tree, "nowhere"), Texts{Folder("R/nowhere/")});
    EXPECT_EQ(missing.unreadable, Texts{"R/nowhere/"});
}

namespace {

// A chain of `depth` folders named `name` with "bottom.txt" in the last, made and removed
// through descriptors because its paths soon outgrow PATH_MAX.
struct DeepChain {
    std::string root;
    int depth;
    std::string name;
    DeepChain(std::string r, int d, std::string n = "d") : root(std::move(r)), depth(d), name(n)
    {
        int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
        for (int i = 0; i < depth && fd >= 0; ++i) {
            ::mkdirat(fd, name.c_str(), 0755);
            const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = next;
        }
        ::close(::openat(fd, "bottom.txt", O_CREAT | O_WRONLY, 0644));
        ::close(fd);
    }
    ~DeepChain()
    {
        std::vector<int> fds{::open(root.c_str(), O_RDONLY | O_DIRECTORY)};
        for (int i = 0; i < depth; ++i)
            fds.push_back(::openat(fds.back(), name.c_str(), O_RDONLY | O_DIRECTORY));
        ::unlinkat(fds.back(), "bottom.txt", 0);
        for (int i = depth; i >= 1; --i) {
            ::close(fds[i]);
            ::unlinkat(fds[i - 1], name.c_str(), AT_REMOVEDIR);
        }
        ::close(fds[0]);
    }
};

// Runs work on a thread with a stack of 256 KiB, about 100 bytes for each level of the chain
// below: a walker that recursed once per level would overflow it before the bottom.
void OnSmallStack(const std::function<void()>& work)
{
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 256 * 1024);
    pthread_t thread;
    auto run = [](void* argument) -> void* {
        (*static_cast<const std::function<void()>*>(argument))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, run, const_cast<std::function<void()>*>(&work)),
              0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

} // namespace

TEST(Walker, DeeperThanPathMaxWithFewDescriptorsAndNoRecursion)
{
    constexpr int kDepth = 2500; // paths of 5,000 characters and more, past PATH_MAX
    FixtureTree tree;
    const DeepChain chain(tree.root(), kDepth);
    Walk walk;
    walk.settings.folderRecords = false;
    walk.budget = 8; // forces the climb back through ".."
    OnSmallStack([&] { walk.run(tree); });
    ASSERT_EQ(walk.records.lastIndex(), 1u);
    EXPECT_TRUE(walk.unreadable.empty());
    EXPECT_EQ(walk.records[1].name, "bottom.txt");
    EXPECT_EQ(walk.records[1].folder->path().size(), tree.root().size() + 1 + 2 * kDepth);
}

TEST(Walker, DeepTreeKeepsEachFolderNameOnce)
{
    // 300 levels of 200-byte names: a path of 60,300 bytes at the bottom. Folders keep their
    // own names, so what they hold grows with the tree, not with the square of its depth.
    constexpr int kDepth = 300;
    const std::string name(200, 'n');
    FixtureTree tree;
    const DeepChain chain(tree.root(), kDepth, name);
    Walk walk;
    walk.run(tree);
    std::size_t stored = 0;
    const FolderNode* bottom = nullptr;
    for (std::size_t i = 1; i <= walk.records.lastIndex(); ++i) {
        if (walk.records[i].isFolder()) {
            stored += walk.records[i].folder->name.size();
            bottom = walk.records[i].folder;
        }
    }
    EXPECT_EQ(stored, tree.root().size() + 1 + kDepth * name.size());
    ASSERT_TRUE(bottom);
    std::string expected = tree.root() + "/";
    for (int i = 0; i < kDepth; ++i)
        expected += name + "/";
    EXPECT_EQ(bottom->path(), expected);
}

TEST(Walker, DescriptorBudgetDoesNotChangeWhatIsFound)
{
    FixtureTree tree;
    for (const char* file : {"a/b/c/d/e/f.txt", "a/b/c/x.txt", "a/b2/c/y.txt", "a/z.txt"})
        tree.file(file);
    Walk plenty;
    Walk tight;
    tight.budget = 2;
    const Texts found = plenty.run(tree);
    EXPECT_EQ(found.size(), 12u); // eight folders, four files
    EXPECT_EQ(tight.run(tree), found);
}

TEST(Walker, CancelFromTheYieldHookStopsEveryLevel)
{
    FixtureTree tree;
    for (int i = 0; i < 20; ++i)
        tree.file("a/b/c/f" + std::to_string(i));
    Walk walk;
    int yields = 0;
    walk.hooks.yield = [&] { walk.cancel = ++yields == 10; };
    const Texts texts = walk.run(tree);
    EXPECT_EQ(yields, 10); // no entry is handled after the cancel
    EXPECT_LT(texts.size(), 10u);
}

TEST(Walker, HugeFolderIsReadAChunkAtATimeBetweenYields)
{
    // 7,500 names of 250 bytes: about 2 MB of entries, which reading 256 KiB between two
    // yields takes eight yields to read; a read into the whole free part of the doubling
    // buffer took four, the last one reading half the folder at once.
    FixtureTree tree;
    const std::string padding(244, 'n');
    for (int i = 0; i < 7500; ++i)
        tree.file("big/" + std::to_string(100000 + i) + padding);
    Walk walk;
    int whileReading = 0;
    walk.hooks.yield = [&] {
        if (walk.records.lastIndex() == 0)
            ++whileReading;
    };
    walk.run(tree, "big");
    EXPECT_GE(whileReading, 7);
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
    // 200 sub-folders with their "." and "..", and the root's own two: 602 entries.
    EXPECT_GE(texts.size(), 2u);
    EXPECT_LE(texts.size(), 602u / 50 + 1);
    const QString prefix = "Scanning... " + QString::fromStdString(tree.root()) + "/s";
    for (const QString& text : texts)
        EXPECT_TRUE(text.startsWith(prefix) && text.endsWith("/")) << text.toStdString();
}

TEST(FixtureTree, LeavesNothingBehindEvenForNamesThatAreNotUtf8)
{
    std::string root;
    {
        FixtureTree tree;
        tree.file("odd|dir\n/bad\xff\xfe.txt");
        tree.file("locked/inside.txt");
        tree.chmod("locked", 0);
        root = tree.root();
    }
    struct stat st;
    EXPECT_NE(::lstat(root.c_str(), &st), 0) << root;
}

namespace {

// A file system mounted on a folder of a fixture for one test; unmounted when it goes.
struct Mounted {
    std::string at;
    int error = 0;
    Mounted(const std::string& type, std::string where) : at(std::move(where))
    {
        if (::mount(type.c_str(), at.c_str(), type.c_str(), 0, nullptr) != 0)
            error = errno;
    }
    ~Mounted()
    {
        if (error == 0)
            ::umount2(at.c_str(), MNT_DETACH);
    }
};

} // namespace

TEST(Walker, HiddenFilesWhenAskedPseudoFileSystemsNeverAndOtherDevicesOnRequest)
{
    FixtureTree tree;
    for (const char* name : {"song.mp3", ".hidden.mp3", ".cfg/.x.mp3", ".cfg/y.mp3", ".tmp.mp3"})
        tree.file(name);
    Walk hidden;
    hidden.settings.folderRecords = false;
    hidden.settings.filter = ".mp3";
    hidden.settings.includeHidden = true;
    hidden.exclusions.fileNames = {".tmp.mp3"}; // exclusions still hold
    EXPECT_EQ(hidden.run(tree), Sorted({File("R/", "song.mp3"), File("R/", ".hidden.mp3"),
                                        File("R/.cfg/", ".x.mp3"), File("R/.cfg/", "y.mp3")}));

    tree.folder("proc");
    tree.folder("tmp");
    const Mounted proc("proc", tree.path("proc"));
    const Mounted tmp("tmpfs", tree.path("tmp"));
    if (proc.error != 0 || tmp.error != 0)
        GTEST_SKIP() << "cannot mount here: " << std::strerror(proc.error ? proc.error : tmp.error);
    tree.file("tmp/t.txt", "abc");

    // proc keeps its folder line but is never read; a tmpfs is read like any folder.
    Walk plain;
    EXPECT_EQ(plain.run(tree), Sorted({Folder("R/"), Folder("R/.cfg/"), Folder("R/proc/"),
                                       Folder("R/tmp/"), File("R/", "song.mp3"),
                                       File("R/.cfg/", "y.mp3"), File("R/tmp/", "t.txt", 3)}));
    EXPECT_TRUE(plain.unreadable.empty());

    Walk one;
    one.settings.oneFileSystem = true;
    one.settings.folderRecords = false;
    EXPECT_EQ(one.run(tree), Sorted({File("R/", "song.mp3"), File("R/.cfg/", "y.mp3")}));

    // A location on proc itself is read.
    Walk inside;
    inside.settings.folderRecords = false;
    inside.settings.subFolders = false;
    EXPECT_FALSE(inside.run(tree, "proc/self/fdinfo").empty());
}
