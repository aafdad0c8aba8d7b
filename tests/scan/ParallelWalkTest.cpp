#include "scan/Walker.h"
#include "support/FixtureTree.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillon;
using quillon::test::FixtureTree;
using Texts = std::vector<std::string>;

namespace {

// A random tree of about 20,000 entries: nested folders (hidden, excluded, with names that
// are not UTF-8), files of many sizes, hard links across folders and symbolic links.
struct RandomTree {
    FixtureTree tree;
    std::vector<std::string> folders{""};
    std::vector<std::string> files;

    RandomTree()
    {
        std::mt19937 random(20000);
        const auto pick = [&](const std::vector<std::string>& from) {
            return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
        };
        const char* folderNames[] = {"d", ".h", "Ex", "\xff"};
        for (int i = 0; i < 1500; ++i) {
            // Half the time below one of the newest folders, so that the tree grows deep too.
            const std::string parent =
                random() % 2 ? folders[folders.size() - 1 -
                                       random() % std::min<std::size_t>(folders.size(), 8)]
                             : pick(folders);
            const std::string path = parent + folderNames[random() % 4] + std::to_string(i) + "/";
            ::mkdir(tree.path(path).c_str(), 0755);
            folders.push_back(path);
        }
        const char* fileNames[] = {"f", "g", ".h", "skip", "\xfe", "Thumbs"};
        const char* extensions[] = {".txt", ".dat", ".tmp", ""};
        for (int i = 0; i < 17000; ++i) {
            const std::string path = pick(folders) + fileNames[random() % 6] + std::to_string(i) +
                                     extensions[random() % 4];
            const int fd = ::open(tree.path(path).c_str(), O_CREAT | O_WRONLY, 0644);
            EXPECT_EQ(::ftruncate(fd, random() % 3 ? random() % 5000 : random() % 50000000), 0);
            ::close(fd);
            files.push_back(path);
        }
        for (int i = 0; i < 800; ++i)
            ::link(tree.path(pick(files)).c_str(),
                   tree.path(pick(folders) + "link" + std::to_string(i)).c_str());
        for (int i = 0; i < 400; ++i)
            ::symlink(i % 2 ? ".." : "nowhere",
                      tree.path(pick(folders) + "sym" + std::to_string(i)).c_str());
    }
};

Texts Walked(const RandomTree& random, const WalkSettings& settings, const ExclusionList& list,
             int threads, int budget = 256, unsigned startAfter = 0)
{
    RecordList records;
    Walker walker(records, list, {random.tree.root()}, {}, nullptr);
    walker.setThreads(threads);
    walker.setDescriptorBudget(budget);
    walker.startThreadsAfter(startAfter);
    walker.WalkLocation(random.tree.root(), settings);
    Texts texts;
    for (std::size_t i = 1; i <= records.lastIndex(); ++i) {
        const ScanRecord& r = records[i];
        texts.push_back(RecordText(r) + "|" + std::to_string(r.folder->index) + "|" +
                        std::to_string(r.modified) + (r.statKnown ? "k" : "") +
                        (r.link ? "l" : "") + (r.repeatLink ? "r" : ""));
    }
    return texts;
}

int OpenDescriptors()
{
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (::readdir(dir))
            ++count;
        ::closedir(dir);
    }
    return count;
}

// The tree takes seconds to make: both tests walk the one.
class ParallelWalk : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_tree = new RandomTree; }
    static void TearDownTestSuite()
    {
        delete s_tree;
        s_tree = nullptr;
    }
    static RandomTree* s_tree;
};
RandomTree* ParallelWalk::s_tree = nullptr;

} // namespace

TEST_F(ParallelWalk, GivesTheRecordsOfOneThreadInTheSameOrder)
{
    const RandomTree& random = *s_tree;
    WalkSettings everything; // hidden files, hard links counted once, sizes on disk
    everything.includeHidden = true;
    everything.countHardLinksOnce = true;
    everything.sizeOnDisk = true;
    const Texts expected = Walked(random, everything, {}, 1);
    EXPECT_GT(expected.size(), 19000u);
    for (int threads : {2, 8})
        EXPECT_EQ(Walked(random, everything, {}, threads), expected) << threads << " threads";
    // Few descriptors to share: the threads get none beyond their budget, the walk still ends.
    EXPECT_EQ(Walked(random, everything, {}, 4, 24), expected);
    // The threads chosen by the walk start mid-way, at the first folder or deep in the tree.
    for (unsigned after : {1u, 37u, 700u})
        EXPECT_EQ(Walked(random, everything, {}, 0, 256, after), expected) << "after " << after;
    EXPECT_EQ(Walked(random, everything, {}, 0, 24, 50), expected);

    WalkSettings filtered; // a type filter, a depth limit and every kind of exclusion
    filtered.filter = ".txt;.dat";
    filtered.depthLimit = 3;
    ExclusionList list;
    list.fileNames = {"thumbs7"};
    list.extensions = {"*.DAT"};
    for (std::size_t i = 5; i < random.folders.size(); i += 40) {
        std::string folder = random.tree.path(random.folders[i]);
        folder.pop_back();
        list.folders.push_back(QString::fromUtf8(folder));
    }
    for (bool whole : {false, true}) {
        list.includeSubFolders = whole;
        EXPECT_EQ(Walked(random, filtered, list, 4), Walked(random, filtered, list, 1));
    }

    WalkSettings folderList; // no file records, no status read
    folderList.fileRecords = false;
    EXPECT_EQ(Walked(random, folderList, {}, 4), Walked(random, folderList, {}, 1));
}

TEST_F(ParallelWalk, CancelAndCloseMidWalkLeaveNothingOpen)
{
    const RandomTree& random = *s_tree;
    const Texts whole = Walked(random, {}, {}, 1);
    const int before = OpenDescriptors();

    // Cancelled: what was found is the start of the whole walk, and the walk ends.
    for (int after : {1, 300, 9000}) {
        RecordList records;
        bool cancel = false;
        int yields = 0;
        ProgressHooks hooks;
        hooks.yield = [&] { cancel = cancel || ++yields == after; };
        {
            Walker walker(records, {}, {random.tree.root()}, hooks, &cancel);
            walker.setThreads(4);
            walker.WalkLocation(random.tree.root(), {});
            EXPECT_EQ(OpenDescriptors(), before) << "cancelled after " << after;
        }
        ASSERT_LE(records.lastIndex(), whole.size());
        for (std::size_t i = 1; i <= records.lastIndex(); ++i)
            ASSERT_EQ(RecordText(records[i]),
                      whole[i - 1].substr(0, RecordText(records[i]).size()));
    }

    // Closed: the window going away throws out of the yield; the threads end with the walker.
    struct Closed {};
    for (int after : {1, 5000}) {
        RecordList records;
        int yields = 0;
        ProgressHooks hooks;
        hooks.yield = [&] {
            if (++yields == after)
                throw Closed{};
        };
        EXPECT_THROW(
            {
                Walker walker(records, {}, {random.tree.root()}, hooks, nullptr);
                walker.setThreads(4);
                walker.WalkLocation(random.tree.root(), {});
            },
            Closed);
        EXPECT_EQ(OpenDescriptors(), before) << "closed after " << after;
    }
}
