#include "scan/RecordSort.h"

#include "scan/Collation.h"
#include "scan/SortStrings.h"
#include "scan/SortTexts.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <unordered_map>
#include <utility>

// The records are not sorted as a whole: the folders are put in order first (siblings by key,
// then a pre-order rank each), the records are distributed into one bucket per folder, and only
// then is each folder's file list sorted with that folder's texts alone (decoded once, compared
// by the collator). The order equals a full sort by the same comparison, but nothing is kept
// for the whole list at once, and no folder path is ever compared as text (which is what let
// names beginning with a sign escape their folder).

namespace quillon {

namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

// The folders the records name, with every ancestor, numbered in order of discovery.
class FolderIndex {
public:
    explicit FolderIndex(std::size_t expected) { m_ids.reserve(expected); }

    // The number of node, adding it and its missing ancestors.
    std::uint32_t Intern(const FolderNode* node)
    {
        if (node == m_lastNode)
            return m_lastId;
        auto [it, inserted] = m_ids.try_emplace(node, static_cast<std::uint32_t>(nodes.size()));
        const std::uint32_t id = it->second;
        if (inserted) {
            nodes.push_back(node);
            parents.push_back(kNone);
            // Climb without recursion: trees may be thousands of levels deep.
            std::uint32_t child = id;
            for (const FolderNode* up = node->parent; up; up = up->parent) {
                auto [pit, added] = m_ids.try_emplace(up, static_cast<std::uint32_t>(nodes.size()));
                parents[child] = pit->second;
                if (!added)
                    break;
                nodes.push_back(up);
                parents.push_back(kNone);
                child = pit->second;
            }
        }
        m_lastNode = node;
        m_lastId = id;
        return id;
    }

    std::vector<const FolderNode*> nodes;
    std::vector<std::uint32_t> parents; // kNone for a scan location

private:
    std::unordered_map<const FolderNode*, std::uint32_t> m_ids;
    const FolderNode* m_lastNode = nullptr;
    std::uint32_t m_lastId = kNone;
};

// The text a folder is ordered by among its siblings: its name and "/" (a location's whole path).
void FolderSortText(const FolderNode& node, std::string& out)
{
    FolderOrderText(node.name, out);
}

// The text a file is ordered by within its folder: name, "|", size in 15 digits.
void FileSortText(const ScanRecord& record, std::string& out)
{
    out.assign(record.name);
    out.push_back('|');
    AppendSizeDigits(out, record.size);
}

// Sorts the entries of one group by their texts (the SortRange algorithm): collation, then
// bytes, then original position, so the order is total and the same input gives the same order.
struct Entry {
    std::uint32_t key;  // index of the text = position in the group before sorting
    std::uint32_t item; // what the entry stands for
};

// Calls the caller's yield once every 256 ticks, so a tick costs a count and a test.
class YieldEvery {
public:
    explicit YieldEvery(const std::function<void()>& yield) : m_yield(yield) {}
    void operator()()
    {
        if (m_yield && (++m_ticks & 0xff) == 0)
            m_yield();
    }

private:
    const std::function<void()>& m_yield;
    unsigned m_ticks = 0;
};

template <class TextOf>
void SortGroup(std::vector<Entry>& entries, CollationTexts& keys, TextOf textOf, YieldEvery& tick)
{
    if (entries.size() < 2)
        return;
    std::string left;
    std::string right;
    SortStrings(entries, true, [&](const Entry& a, const Entry& b) {
        tick();
        int c = keys.compare(a.key, b.key);
        if (c == 0) {
            textOf(a.item, left);
            textOf(b.item, right);
            c = Collation::CompareBytes(left, right);
        }
        if (c == 0)
            c = (a.key > b.key) - (a.key < b.key);
        return c;
    });
}

// Sorts one group after another, reusing its key texts and entries between groups.
class GroupSorter {
public:
    GroupSorter(const Collation& collation, YieldEvery& tick) : m_keys(collation), m_tick(tick) {}

    // Orders the count items itemAt(0), itemAt(1)... by the texts textOf gives them; entries()
    // then holds them in order.
    template <class ItemAt, class TextOf>
    void sort(std::uint32_t count, ItemAt itemAt, TextOf textOf)
    {
        m_keys.clear();
        m_entries.clear();
        for (std::uint32_t k = 0; k < count; ++k) {
            m_tick();
            const std::uint32_t item = itemAt(k);
            textOf(item, m_text);
            m_entries.push_back(Entry{m_keys.add(m_text), item});
        }
        SortGroup(m_entries, m_keys, textOf, m_tick);
    }

    const std::vector<Entry>& entries() const { return m_entries; }

private:
    CollationTexts m_keys;
    std::vector<Entry> m_entries;
    std::string m_text;
    YieldEvery& m_tick;
};

// The folders as a tree: childBegin[p] .. childBegin[p + 1] are the places in children of
// folder p's children; the scan locations are the children of a virtual root numbered after
// the last folder.
struct FolderTree {
    std::uint32_t root = 0;
    std::vector<std::uint32_t> childBegin;
    std::vector<std::uint32_t> children;
};

// Where each folder's files stand once the records are in their buckets: begin[b] .. end[b].
struct FileRanges {
    std::vector<std::uint32_t> begin;
    std::vector<std::uint32_t> end;
};

// Step 1: the folder number of every record (item 0 and records without a folder: kNone).
std::vector<std::uint32_t> FolderOfEachRecord(const std::vector<ScanRecord>& items,
                                              FolderIndex& index, YieldEvery& tick)
{
    std::vector<std::uint32_t> slot(items.size(), kNone);
    for (std::size_t i = 1; i < items.size(); ++i) {
        tick();
        if (items[i].folder)
            slot[i] = index.Intern(items[i].folder);
    }
    return slot;
}

// Step 2: the children of each folder, counted first so that they fit one array.
FolderTree ChildrenOfEachFolder(const FolderIndex& index)
{
    const auto folders = static_cast<std::uint32_t>(index.nodes.size());
    FolderTree tree;
    tree.root = folders;
    const auto parentOf = [&](std::uint32_t f) {
        return index.parents[f] == kNone ? tree.root : index.parents[f];
    };
    tree.childBegin.assign(folders + 3, 0);
    for (std::uint32_t f = 0; f < folders; ++f)
        ++tree.childBegin[parentOf(f) + 2];
    for (std::uint32_t f = 2; f < folders + 3; ++f)
        tree.childBegin[f] += tree.childBegin[f - 1];
    tree.children.resize(folders);
    for (std::uint32_t f = 0; f < folders; ++f)
        tree.children[tree.childBegin[parentOf(f) + 1]++] = f;
    return tree;
}

// Step 3: the siblings of each folder in order, one group at a time.
void OrderSiblings(FolderTree& tree, const FolderIndex& index, GroupSorter& sorter)
{
    const auto folderText = [&](std::uint32_t f, std::string& out) {
        FolderSortText(*index.nodes[f], out);
    };
    for (std::uint32_t p = 0; p <= tree.root; ++p) {
        const std::uint32_t begin = tree.childBegin[p];
        const std::uint32_t end = tree.childBegin[p + 1];
        if (end - begin < 2)
            continue;
        sorter.sort(
            end - begin, [&](std::uint32_t k) { return tree.children[begin + k]; }, folderText);
        for (std::uint32_t c = begin; c < end; ++c)
            tree.children[c] = sorter.entries()[c - begin].item;
    }
}

// Step 4: the bucket of every folder from its pre-order rank (an explicit stack: no recursion
// on deep trees). Bucket 0 holds records without a folder; folder f of rank r fills bucket
// r + 1. The tree goes with the call.
std::vector<std::uint32_t> BucketOfEachFolder(FolderTree tree)
{
    std::vector<std::uint32_t> bucketOf(tree.root);
    std::uint32_t next = 1;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> stack;
    stack.emplace_back(tree.childBegin[tree.root], tree.childBegin[tree.root + 1]);
    while (!stack.empty()) {
        auto& [pos, end] = stack.back();
        if (pos == end) {
            stack.pop_back();
            continue;
        }
        const std::uint32_t f = tree.children[pos++];
        bucketOf[f] = next++;
        stack.emplace_back(tree.childBegin[f], tree.childBegin[f + 1]);
    }
    return bucketOf;
}

// Step 5: bucket sizes, then each record's destination in slot (which held its folder): a
// folder's own record first, its files after it. Returns each bucket's file range for step 7.
FileRanges Destinations(const std::vector<ScanRecord>& items, std::vector<std::uint32_t>& slot,
                        std::vector<std::uint32_t> bucketOf, YieldEvery& tick)
{
    const std::size_t count = items.size();
    const auto buckets = static_cast<std::uint32_t>(bucketOf.size() + 1);
    std::vector<std::uint32_t> folderPos(buckets, 0);
    std::vector<std::uint32_t> filePos(buckets, 0);
    for (std::size_t i = 1; i < count; ++i) {
        tick();
        slot[i] = slot[i] == kNone ? 0 : bucketOf[slot[i]];
        ++(items[i].isFolder() ? folderPos : filePos)[slot[i]];
    }
    std::vector<std::uint32_t>().swap(bucketOf);
    FileRanges files;
    files.begin.resize(buckets);
    std::uint32_t start = 1;
    for (std::uint32_t b = 0; b < buckets; ++b) {
        const std::uint32_t ownRecords = folderPos[b];
        const std::uint32_t fileCount = filePos[b];
        folderPos[b] = start;
        filePos[b] = files.begin[b] = start + ownRecords;
        start += ownRecords + fileCount;
    }
    slot[0] = 0;
    for (std::size_t i = 1; i < count; ++i) {
        tick();
        slot[i] = (items[i].isFolder() ? folderPos : filePos)[slot[i]]++;
    }
    files.end = std::move(filePos);
    return files;
}

// Steps 6 and 7: moves records[i] to records[target[i]] for every i by following the
// permutation's cycles, so no second copy of the records is made (for a folder of a million
// files that would be tens of megabytes). target ends up as 0, 1, 2...
void MoveToTargets(ScanRecord* records, std::vector<std::uint32_t>& target, YieldEvery& tick)
{
    for (std::size_t i = 0; i < target.size(); ++i) {
        // One cycle may hold most of the records.
        while (target[i] != i) {
            tick();
            const std::uint32_t to = target[i];
            std::swap(records[i], records[to]);
            std::swap(target[i], target[to]);
        }
    }
}

// The files items[begin, end) of one folder in order, with keys for that folder only; target
// is scratch, kept between folders.
void SortFileRange(std::vector<ScanRecord>& items, std::uint32_t begin, std::uint32_t end,
                   GroupSorter& sorter, YieldEvery& tick, std::vector<std::uint32_t>& target)
{
    if (end - begin < 2)
        return;
    const auto fileText = [&](std::uint32_t i, std::string& out) { FileSortText(items[i], out); };
    sorter.sort(
        end - begin, [&](std::uint32_t k) { return begin + k; }, fileText);
    const std::vector<Entry>& entries = sorter.entries();
    target.resize(entries.size());
    for (std::uint32_t i = 0; i < entries.size(); ++i)
        target[entries[i].item - begin] = i;
    MoveToTargets(items.data() + begin, target, tick);
}

// Step 7: each folder's files in order.
void SortFilesOfEachFolder(std::vector<ScanRecord>& items, const FileRanges& files,
                           GroupSorter& sorter, YieldEvery& tick)
{
    std::vector<std::uint32_t> target; // where each of a folder's records goes
    for (std::uint32_t b = 1; b < files.begin.size(); ++b)
        SortFileRange(items, files.begin[b], files.end[b], sorter, tick, target);
}

} // namespace

void SortRecords(RecordList& records, const std::function<void()>& yield)
{
    YieldEvery tick(yield);
    std::vector<ScanRecord>& items = records.items();
    if (items.size() <= 2)
        return;
    const Collation collation;
    GroupSorter sorter(collation, tick);

    FolderIndex index(records.folderCount());
    std::vector<std::uint32_t> slot = FolderOfEachRecord(items, index, tick);
    FolderTree tree = ChildrenOfEachFolder(index);
    OrderSiblings(tree, index, sorter);
    const FileRanges files = Destinations(items, slot, BucketOfEachFolder(std::move(tree)), tick);
    // Step 6: every record to its destination.
    MoveToTargets(items.data(), slot, tick);
    std::vector<std::uint32_t>().swap(slot);
    SortFilesOfEachFolder(items, files, sorter, tick);
}

struct FolderRecordOrder::Parts {
    explicit Parts(std::function<void()> yieldHook) : yield(std::move(yieldHook)), tick(yield)
    {
        sorter.emplace(collation, tick);
    }
    // The keys and entries of a large group go once it is sorted, rather than stay with the
    // walk for the folders after it.
    void trim(std::size_t count)
    {
        if (count <= kKeepGroup)
            return;
        sorter.emplace(collation, tick);
        target = {};
        ids = {};
    }
    static constexpr std::size_t kKeepGroup = 64 * 1024;
    std::function<void()> yield;
    YieldEvery tick;
    const Collation collation;
    std::optional<GroupSorter> sorter;
    std::vector<std::uint32_t> target;
    std::vector<std::size_t> ids;
};

FolderRecordOrder::FolderRecordOrder(std::function<void()> yield)
    : m_parts(std::make_unique<Parts>(std::move(yield)))
{}

FolderRecordOrder::~FolderRecordOrder() = default;

void FolderRecordOrder::sortFiles(std::vector<ScanRecord>& items, std::size_t begin,
                                  std::size_t end)
{
    SortFileRange(items, static_cast<std::uint32_t>(begin), static_cast<std::uint32_t>(end),
                  *m_parts->sorter, m_parts->tick, m_parts->target);
    m_parts->trim(end - begin);
}

void FolderRecordOrder::sortFolders(std::vector<std::size_t>& ids,
                                    const std::function<std::string_view(std::size_t)>& nameOf)
{
    if (ids.size() < 2)
        return;
    Parts& p = *m_parts;
    p.sorter->sort(
        static_cast<std::uint32_t>(ids.size()), [](std::uint32_t k) { return k; },
        [&](std::uint32_t k, std::string& out) { FolderOrderText(nameOf(ids[k]), out); });
    p.ids.clear();
    for (const Entry& entry : p.sorter->entries())
        p.ids.push_back(ids[entry.item]);
    ids.swap(p.ids);
    p.trim(ids.size());
}

} // namespace quillon
