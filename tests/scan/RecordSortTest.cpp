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

// Builds record lists by path; a folder's parent is the folder of the path above it.
class Tree {
public:
    void Folder(const std::string& path, bool ownRecord = true)
    {
        if (!m_nodes.count(path)) {
            const std::size_t cut = path.rfind('/', path.size() - 2);
            const auto up = m_nodes.find(path.substr(0, cut + 1));
            m_nodes[path] =
                up == m_nodes.end()
                    ? list.addFolder(nullptr, path)
                    : list.addFolder(up->second, path.substr(cut + 1, path.size() - cut - 2));
        }
        if (ownRecord)
            list.appendFolderRecord(m_nodes[path]);
    }
    void File(const std::string& folder, const std::string& name, int size = 0)
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

std::string File(const std::string& folder, const std::string& name, int size = 0)
{
    const std::string digits = std::to_string(size);
    return folder + "|" + name + "|" + std::string(15 - digits.size(), '0') + digits;
}

TEST(RecordSort, FolderThenItsFilesThenItsSubFolders)
{
    Tree tree;
    tree.Folder("/A/", false);
    tree.Folder("/A/B/");
    tree.File("/A/", "x.txt");
    tree.Folder("/A/");
    EXPECT_EQ(tree.Sorted(), (Lines{"", Own("/A/"), File("/A/", "x.txt"), Own("/A/B/")}));
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
    EXPECT_EQ(sorted[1], Own("/data/"));
    for (int i = 2; i < 7; ++i)
        EXPECT_EQ(sorted[i].rfind("/data/|", 0), 0u) << sorted[i];
    EXPECT_EQ(sorted[6], File("/data/", "readme", 1));
    EXPECT_EQ(Lines(sorted.begin() + 7, sorted.end()),
              (Lines{Own("/data/_build/"), File("/data/_build/", "out.o", 5), Own("/data/src/"),
                     File("/data/src/", "main.c", 10)}));
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
    ASSERT_EQ(sorted.size(), 2u + 4 * std::size(names));
    Lines order;
    for (std::size_t i = 2; i < sorted.size(); i += 4) {
        const std::string folder = sorted[i].substr(0, sorted[i].find('|'));
        order.push_back(folder);
        EXPECT_EQ(Lines(sorted.begin() + i, sorted.begin() + i + 4),
                  (Lines{Own(folder), File(folder, "a.mp3", 3), File(folder, "b.mp3", 3),
                         File(folder, "C.mp3", 3)}));
    }
    // Collation-equal names go by their bytes: capitals first.
    const auto at = [&](const char* name) {
        return std::find(order.begin(), order.end(), std::string("/m/") + name + "/") -
               order.begin();
    };
    EXPECT_EQ(at("Music") + 1, at("music"));
    EXPECT_LT(at("cafe"), at("caf\xC3\xA9"));
}

TEST(RecordSort, EqualNamesOrderBySizeThenBytes)
{
    Tree tree;
    tree.Folder("/s/");
    for (const auto& [name, size] : std::vector<std::pair<std::string, int>>{
             {"same", 20}, {"SAME", 20}, {"same", 3}, {"n\xFF", 1}, {"n\xEF\xBF\xBD", 1}})
        tree.File("/s/", name, size);
    EXPECT_EQ(tree.Sorted(),
              (Lines{"", Own("/s/"), File("/s/", "n\xEF\xBF\xBD", 1), File("/s/", "n\xFF", 1),
                     File("/s/", "same", 3), File("/s/", "SAME", 20), File("/s/", "same", 20)}));
}

TEST(RecordSort, DeepTreesWithoutFolderRecords)
{
    // No folder records (List In Details): ancestors exist only as nodes. 5000 levels must
    // not exhaust the stack.
    Tree tree;
    std::string path = "/";
    tree.Folder(path, false);
    for (int level = 0; level < 5000; ++level)
        tree.Folder(path += "d/", false);
    tree.File(path, "leaf");
    tree.File("/d/", "mid");
    tree.File("/", "top");
    tree.File("/", "_first");
    EXPECT_EQ(tree.Sorted(), (Lines{"", File("/", "_first"), File("/", "top"), File("/d/", "mid"),
                                    File(path, "leaf")}));
}

// Full comparison sort by the folder-order rules, independent of the bucketing.
bool ReferenceLess(const Collation& c, const ScanRecord& a, const ScanRecord& b)
{
    const auto chain = [](const FolderNode* node) {
        std::vector<const FolderNode*> nodes;
        for (; node; node = node->parent)
            nodes.insert(nodes.begin(), node);
        return nodes;
    };
    const auto folderText = [](const FolderNode* node) {
        const std::string text(node->name);
        return text.back() == '/' ? text : text + "/";
    };
    const auto ca = chain(a.folder);
    const auto cb = chain(b.folder);
    std::size_t k = 0;
    while (k < ca.size() && k < cb.size() && ca[k] == cb[k])
        ++k;
    if (k < ca.size() && k < cb.size())
        return c.Compare(folderText(ca[k]), folderText(cb[k])) < 0;
    if (ca.size() != cb.size())
        return ca.size() < cb.size(); // an ancestor's records come first
    if (a.isFolder() != b.isFolder())
        return a.isFolder();
    const std::string ta = RecordText(a);
    const std::string tb = RecordText(b);
    return c.Compare(ta.substr(ta.find('|') + 1), tb.substr(tb.find('|') + 1)) < 0;
}

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
    const Collation collation;
    for (int round = 0; round < 30; ++round) {
        Tree tree;
        const bool ownRecords = round % 2 == 0;
        Lines folders;
        for (int l = 1 + random() % 3; l > 0; --l) {
            folders.push_back("/loc" + std::to_string(l) + name() + "/");
            tree.Folder(folders.back(), ownRecords);
        }
        for (int i = 1 + random() % 400; i > 0; --i) {
            const std::string parent = folders[random() % folders.size()];
            const std::string sub = parent + name() + "/";
            if (random() % 5 != 0) {
                tree.File(parent, name(), random() % 4);
            } else if (std::find(folders.begin(), folders.end(), sub) == folders.end()) {
                folders.push_back(sub);
                tree.Folder(sub, ownRecords);
            }
        }
        std::vector<ScanRecord> expected(tree.list.items().begin() + 1, tree.list.items().end());
        std::stable_sort(expected.begin(), expected.end(), [&](const auto& a, const auto& b) {
            return ReferenceLess(collation, a, b);
        });
        const Lines sorted = tree.Sorted();
        ASSERT_EQ(sorted.size(), expected.size() + 1);
        for (std::size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(sorted[i + 1], RecordText(expected[i])) << "round " << round << " at " << i;
    }
}

} // namespace
} // namespace quillon
