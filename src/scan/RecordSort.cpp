#include "scan/RecordSort.h"

#include "scan/Collation.h"
#include "scan/SortStrings.h"

#include <cstdint>
#include <limits>
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
    out.assign(node.name);
    if (out.empty() || out.back() != '/')
        out.push_back('/');
}

// The text a file is ordered by within its folder: name, "|", size in 15 digits.
void FileSortText(const ScanRecord& record, std::string& out)
{
    out.assign(record.name);
    out.push_back('|');
    char digits[24];
    std::size_t count = 0;
    auto size = static_cast<std::uint64_t>(record.size < 0 ? 0 : record.size);
    do {
        digits[count++] = static_cast<char>('0' + size % 10);
        size /= 10;
    } while (size != 0);
    for (std::size_t pad = count; pad < 15; ++pad)
        out.push_back('0');
    while (count > 0)
        out.push_back(digits[--count]);
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

} // namespace

void SortRecords(RecordList& records, const std::function<void()>& yield)
{
    YieldEvery tick(yield);
    std::vector<ScanRecord>& items = records.items();
    const std::size_t count = items.size();
    if (count <= 2)
        return;

    const Collation collation;
    CollationTexts keys(collation);
    std::vector<Entry> entries;
    std::string text;

    // 1. The folder of every record (item 0 and records without a folder: kNone).
    FolderIndex index(records.folderCount());
    std::vector<std::uint32_t> slot(count, kNone);
    for (std::size_t i = 1; i < count; ++i) {
        tick();
        if (items[i].folder)
            slot[i] = index.Intern(items[i].folder);
    }
    const auto folders = static_cast<std::uint32_t>(index.nodes.size());

    // 2. Children of each folder; the locations are the children of a virtual root.
    const std::uint32_t root = folders;
    std::vector<std::uint32_t> childBegin(folders + 3, 0);
    for (std::uint32_t f = 0; f < folders; ++f) {
        const std::uint32_t parent = index.parents[f] == kNone ? root : index.parents[f];
        ++childBegin[parent + 2];
    }
    for (std::uint32_t f = 2; f < folders + 3; ++f)
        childBegin[f] += childBegin[f - 1];
    std::vector<std::uint32_t> children(folders);
    for (std::uint32_t f = 0; f < folders; ++f) {
        const std::uint32_t parent = index.parents[f] == kNone ? root : index.parents[f];
        children[childBegin[parent + 1]++] = f;
    }
    // childBegin[p] .. childBegin[p + 1] now holds p's children.

    // 3. Siblings in order, one group at a time.
    const auto folderText = [&](std::uint32_t f, std::string& out) {
        FolderSortText(*index.nodes[f], out);
    };
    for (std::uint32_t p = 0; p <= root; ++p) {
        const std::uint32_t begin = childBegin[p];
        const std::uint32_t end = childBegin[p + 1];
        if (end - begin < 2)
            continue;
        keys.clear();
        entries.clear();
        for (std::uint32_t c = begin; c < end; ++c) {
            tick();
            folderText(children[c], text);
            entries.push_back(Entry{keys.add(text), children[c]});
        }
        SortGroup(entries, keys, folderText, tick);
        for (std::uint32_t c = begin; c < end; ++c)
            children[c] = entries[c - begin].item;
    }

    // 4. Pre-order rank of every folder (an explicit stack: no recursion on deep trees).
    //    Bucket 0 holds records without a folder; folder f of rank r fills bucket r + 1.
    std::vector<std::uint32_t> bucketOf(folders);
    {
        std::uint32_t next = 1;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> stack;
        stack.emplace_back(childBegin[root], childBegin[root + 1]);
        while (!stack.empty()) {
            auto& [pos, end] = stack.back();
            if (pos == end) {
                stack.pop_back();
                continue;
            }
            const std::uint32_t f = children[pos++];
            bucketOf[f] = next++;
            stack.emplace_back(childBegin[f], childBegin[f + 1]);
        }
    }
    std::vector<std::uint32_t>().swap(children);
    std::vector<std::uint32_t>().swap(childBegin);

    // 5. Bucket sizes, then each record's destination: a folder's own record first, its files
    //    after it. fileBegin/fileEnd keep each bucket's file range for step 7.
    const std::uint32_t buckets = folders + 1;
    std::vector<std::uint32_t> folderPos(buckets, 0);
    std::vector<std::uint32_t> filePos(buckets, 0);
    for (std::size_t i = 1; i < count; ++i) {
        tick();
        slot[i] = slot[i] == kNone ? 0 : bucketOf[slot[i]];
        ++(items[i].isFolder() ? folderPos : filePos)[slot[i]];
    }
    std::vector<std::uint32_t>().swap(bucketOf);
    std::vector<std::uint32_t> fileBegin(buckets);
    {
        std::uint32_t start = 1;
        for (std::uint32_t b = 0; b < buckets; ++b) {
            const std::uint32_t ownRecords = folderPos[b];
            const std::uint32_t files = filePos[b];
            folderPos[b] = start;
            filePos[b] = fileBegin[b] = start + ownRecords;
            start += ownRecords + files;
        }
    }
    slot[0] = 0;
    for (std::size_t i = 1; i < count; ++i) {
        tick();
        slot[i] = (items[i].isFolder() ? folderPos : filePos)[slot[i]]++;
    }
    std::vector<std::uint32_t>().swap(folderPos);
    const std::vector<std::uint32_t>& fileEnd = filePos;

    // 6. Move every record to its destination, one cycle of the permutation at a time.
    for (std::size_t i = 1; i < count; ++i) {
        // One cycle may hold most of the records.
        while (slot[i] != i) {
            tick();
            const std::uint32_t target = slot[i];
            std::swap(items[i], items[target]);
            std::swap(slot[i], slot[target]);
        }
    }
    std::vector<std::uint32_t>().swap(slot);

    // 7. Each folder's files in order, with keys for that folder only.
    std::vector<std::uint32_t> target; // where each of a folder's records goes
    for (std::uint32_t b = 1; b < buckets; ++b) {
        const std::uint32_t begin = fileBegin[b];
        const std::uint32_t end = fileEnd[b];
        if (end - begin < 2)
            continue;
        keys.clear();
        entries.clear();
        for (std::uint32_t i = begin; i < end; ++i) {
            tick();
            FileSortText(items[i], text);
            entries.push_back(Entry{keys.add(text), i});
        }
        SortGroup(
            entries, keys, [&](std::uint32_t i, std::string& out) { FileSortText(items[i], out); },
            tick);
        target.resize(entries.size());
        // Into place by following the permutation's cycles: no second copy of a folder's
        // records, which for a folder of a million files is tens of megabytes.
        for (std::uint32_t i = 0; i < entries.size(); ++i)
            target[entries[i].item - begin] = i;
        for (std::uint32_t i = 0; i < entries.size(); ++i) {
            while (target[i] != i) {
                tick();
                const std::uint32_t to = target[i];
                std::swap(items[begin + i], items[begin + to]);
                std::swap(target[i], target[to]);
            }
        }
    }
}

} // namespace quillon
