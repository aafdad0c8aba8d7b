#include "scan/RecordSort.h"
#include "scan/Collation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace quillon {
namespace {

using Lines = std::vector<std::string>;

// Builds record lists from paths: "/data/" is a folder, "/data/x.txt:12" a file of 12 bytes.
class Tree {
public:
    const FolderNode* Folder(const std::string& path, bool ownRecord = true)
    {
        auto it = m_nodes.find(path);
        if (it == m_nodes.end()) {
            const FolderNode* parent = nullptr;
            const std::size_t cut = path.rfind('/', path.size() - 2);
            if (cut != std::string::npos && cut > 0 && m_nodes.count(path.substr(0, cut + 1)))
                parent = m_nodes[path.substr(0, cut + 1)];
            it = m_nodes.emplace(path, list.addFolder(parent, path)).first;
        }
        if (ownRecord)
            list.appendFolderRecord(it->second);
        return it->second;
    }
    void File(const std::string& folder, const std::string& name, std::int64_t size = 0)
    {
        list.appendFile(m_nodes.at(folder), name, size);
    }
    Lines Sorted()
    {
        SortRecords(list);
        Lines lines;
        for (std::size_t i = 0; i <= list.lastIndex(); ++i)
            lines.push_back(RecordText(list[i]));
        return lines;
    }

    RecordList list;

private:
    std::map<std::string, const FolderNode*> m_nodes;
};

std::string Own(const std::string& folder)
{
    return folder + "|" + std::string(39, '$') + "|" + std::string(17, '0');
}

std::string FileLine(const std::string& folder, const std::string& name, int size = 0)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%015d", size);
    return folder + "|" + name + "|" + digits;
}

TEST(RecordSort, FolderBeforeItsFilesBeforeItsSubFolders)
{
    Tree tree;
    tree.Folder("/A/", false);
    tree.Folder("/A/B/");
    tree.File("/A/", "x.txt");
    tree.Folder("/A/");
    EXPECT_EQ(tree.Sorted(), (Lines{"", Own("/A/"), FileLine("/A/", "x.txt"), Own("/A/B/")}));
}

TEST(RecordSort, NamesBeginningWithSignsStayInTheirFolder)
{
    Tree tree;
    tree.Folder("/data/");
    tree.Folder("/data/src/");
    tree.File("/data/src/", "main.c", 10);
    tree.Folder("/data/_build/");
    tree.File("/data/_build/", "out.o", 5);
    for (const char* name : {"readme", "_config.yml", "(1) copy.txt", "#notes", "$x"})
        tree.File("/data/", name, 1);
    const Lines sorted = tree.Sorted();
    ASSERT_EQ(sorted.size(), 11u);
    EXPECT_EQ(sorted[0], "");
    EXPECT_EQ(sorted[1], Own("/data/"));
    Lines files(sorted.begin() + 2, sorted.begin() + 7);
    for (const std::string& line : files)
        EXPECT_EQ(line.rfind("/data/|", 0), 0u) << line;
    EXPECT_EQ(files.back(), FileLine("/data/", "readme", 1));
    EXPECT_EQ(Lines(sorted.begin() + 7, sorted.end()),
              (Lines{Own("/data/_build/"), FileLine("/data/_build/", "out.o", 5), Own("/data/src/"),
                     FileLine("/data/src/", "main.c", 10)}));
}

TEST(RecordSort, CaseVariantAndAccentedFoldersDoNotInterleave)
{
    Tree tree;
    tree.Folder("/m/");
    const char* names[] = {"music", "Music", "caf\xC3\xA9", "cafe", "cafe b", "caf\xFF"};
    for (const char* name : names)
        tree.Folder(std::string("/m/") + name + "/");
    for (const char* file : {"b.mp3", "a.mp3", "C.mp3"})
        for (const char* name : names)
            tree.File(std::string("/m/") + name + "/", file, 3);
    const Lines sorted = tree.Sorted();
    // Every folder: its own record, then its three files, as one block.
    ASSERT_EQ(sorted.size(), 2u + 4 * std::size(names));
    std::vector<std::string> order;
    for (std::size_t i = 2; i < sorted.size(); i += 4) {
        const std::string folder = sorted[i].substr(0, sorted[i].find('|'));
        order.push_back(folder);
        EXPECT_EQ(sorted[i], Own(folder));
        EXPECT_EQ(sorted[i + 1], FileLine(folder, "a.mp3", 3));
        EXPECT_EQ(sorted[i + 2], FileLine(folder, "b.mp3", 3));
        EXPECT_EQ(sorted[i + 3], FileLine(folder, "C.mp3", 3));
    }
    // Equal under the collation: bytes decide, capitals first.
    const auto at = [&](const char* name) {
        return std::find(order.begin(), order.end(), std::string("/m/") + name + "/") -
               order.begin();
    };
    EXPECT_EQ(at("Music") + 1, at("music"));
    EXPECT_LT(at("cafe"), at("caf\xC3\xA9"));
}

TEST(RecordSort, FilesWithoutFolderRecordsKeepFolderOrder)
{
    // Without folder records (List In Details) ancestors exist only as nodes.
    Tree tree;
    tree.Folder("/r/", false);
    tree.Folder("/r/a/", false);
    tree.Folder("/r/a/z/", false);
    tree.File("/r/a/z/", "deep", 1);
    tree.File("/r/", "top", 2);
    tree.File("/r/a/", "mid", 3);
    tree.File("/r/", "_first", 4);
    EXPECT_EQ(tree.Sorted(), (Lines{"", FileLine("/r/", "_first", 4), FileLine("/r/", "top", 2),
                                    FileLine("/r/a/", "mid", 3), FileLine("/r/a/z/", "deep", 1)}));
}

TEST(RecordSort, EqualNamesOrderBySizeThenBytes)
{
    Tree tree;
    tree.Folder("/s/");
    tree.File("/s/", "same", 20);
    tree.File("/s/", "SAME", 20);
    tree.File("/s/", "same", 3);
    tree.File("/s/", "n\xFF", 1);
    tree.File("/s/", "n\xEF\xBF\xBD", 1);
    EXPECT_EQ(tree.Sorted(), (Lines{"", Own("/s/"), FileLine("/s/", "n\xEF\xBF\xBD", 1),
                                    FileLine("/s/", "n\xFF", 1), FileLine("/s/", "same", 3),
                                    FileLine("/s/", "SAME", 20), FileLine("/s/", "same", 20)}));
}

TEST(RecordSort, ThousandsOfLevelsDeep)
{
    Tree tree;
    std::string path = "/";
    tree.Folder(path, false);
    for (int level = 0; level < 5000; ++level) {
        path += "d/";
        tree.Folder(path, false);
    }
    tree.File(path, "leaf");
    tree.File("/", "top");
    const Lines sorted = tree.Sorted();
    ASSERT_EQ(sorted.size(), 3u);
    EXPECT_EQ(sorted[1], FileLine("/", "top"));
    EXPECT_EQ(sorted[2], FileLine(path, "leaf"));
}

// A full comparison sort by the folder-order rules, written independently of the bucketing.
class ReferenceOrder {
public:
    bool Less(const ScanRecord& a, const ScanRecord& b) const
    {
        const auto chainA = Chain(a.folder);
        const auto chainB = Chain(b.folder);
        std::size_t k = 0;
        while (k < chainA.size() && k < chainB.size() && chainA[k] == chainB[k])
            ++k;
        if (k < chainA.size() && k < chainB.size())
            return m_collation.Compare(FolderText(chainA[k]), FolderText(chainB[k])) < 0;
        if (k < chainA.size() || k < chainB.size())
            return chainA.size() < chainB.size(); // an ancestor's records come first
        if (a.isFolder() != b.isFolder())
            return a.isFolder();
        return m_collation.Compare(FileText(a), FileText(b)) < 0;
    }

private:
    static std::vector<const FolderNode*> Chain(const FolderNode* node)
    {
        std::vector<const FolderNode*> chain;
        for (; node; node = node->parent)
            chain.insert(chain.begin(), node);
        return chain;
    }
    static std::string FolderText(const FolderNode* node)
    {
        std::string text(node->name());
        return text.back() == '/' ? text : text + "/";
    }
    static std::string FileText(const ScanRecord& r)
    {
        const std::string line = RecordText(r);
        return line.substr(line.find('|') + 1);
    }
    Collation m_collation;
};

TEST(RecordSort, RandomTreesMatchAFullSort)
{
    std::mt19937 random(7);
    const std::string pieces[] = {"a", "B", "_", "(1) ", "#",     "\xC3\xA9", "e", " ",
                                  "-", "Z", "0", "\xFF", "x.txt", "|",        "$"};
    const auto name = [&] {
        std::string n;
        for (int k = random() % 3; k >= 0; --k)
            n += pieces[random() % std::size(pieces)];
        return n;
    };
    const ReferenceOrder reference;
    for (int round = 0; round < 30; ++round) {
        Tree tree;
        std::vector<std::string> folders;
        const int locations = 1 + random() % 3;
        for (int l = 0; l < locations; ++l) {
            folders.push_back("/loc" + std::to_string(l) + name() + "/");
            tree.Folder(folders.back(), round % 2 == 0);
        }
        const int records = 1 + random() % 400;
        for (int i = 0; i < records; ++i) {
            const std::string& parent = folders[random() % folders.size()];
            if (random() % 5 == 0) {
                const std::string sub = parent + name() + "/";
                if (std::find(folders.begin(), folders.end(), sub) == folders.end()) {
                    folders.push_back(sub);
                    tree.Folder(sub, round % 2 == 0);
                }
            } else {
                tree.File(parent, name(), random() % 4);
            }
        }
        std::vector<ScanRecord> expected(tree.list.items().begin() + 1, tree.list.items().end());
        std::stable_sort(
            expected.begin(), expected.end(),
            [&](const ScanRecord& a, const ScanRecord& b) { return reference.Less(a, b); });
        const Lines sorted = tree.Sorted();
        ASSERT_EQ(sorted.size(), expected.size() + 1);
        EXPECT_EQ(sorted[0], "");
        for (std::size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(sorted[i + 1], RecordText(expected[i])) << "round " << round << " at " << i;
    }
}

} // namespace
} // namespace quillon
