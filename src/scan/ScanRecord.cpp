#include "scan/ScanRecord.h"
#include "scan/SortTexts.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

namespace quillon {

std::string FolderNode::path() const
{
    std::string out;
    appendPath(out);
    return out;
}

void FolderNode::appendPath(std::string& out) const
{
    // Names from the location down, written into place from the end: no recursion and no list
    // of ancestors, however deep the folder lies.
    const std::size_t start = out.size();
    out.resize(start + pathLength);
    std::size_t end = out.size();
    for (const FolderNode* node = this; node; node = node->parent) {
        if (node->parent)
            out[--end] = '/';
        end -= node->name.size();
        std::copy(node->name.begin(), node->name.end(),
                  out.begin() + static_cast<std::ptrdiff_t>(end));
    }
}

bool SamePath(const FolderNode* a, const FolderNode* b)
{
    if (a == b)
        return true;
    if (!a || !b || a->pathLength != b->pathLength)
        return false;
    // Compare from the end, one name at a time, until a difference shows.
    while (a->parent && b->parent) {
        if (a->name != b->name)
            return false;
        a = a->parent;
        b = b->parent;
        if (a == b)
            return true;
    }
    return a->path() == b->path();
}

RecordList::RecordList()
{
    clear();
}

void RecordList::clear()
{
    m_folders.clear();
    m_records.clear();
    m_records.emplace_back();
}

const FolderNode* RecordList::addFolder(const FolderNode* parent, std::string name, int readError)
{
    const std::size_t pathLength = parent ? parent->pathLength + name.size() + 1 : name.size();
    m_folders.push_back(FolderNode{parent, std::move(name), pathLength, readError,
                                   static_cast<std::uint32_t>(m_folders.size())});
    return &m_folders.back();
}

void RecordList::appendFolderRecord(const FolderNode* folder)
{
    ScanRecord record;
    record.folder = folder;
    record.kind = RecordKind::Folder;
    m_records.push_back(std::move(record));
}

void RecordList::appendFile(const FolderNode* folder, std::string name, std::int64_t size)
{
    ScanRecord record;
    record.folder = folder;
    record.name = std::move(name);
    record.size = size;
    record.kind = RecordKind::File;
    m_records.push_back(std::move(record));
}

void RecordList::appendFile(const FolderNode* folder, std::string name, const struct stat& st)
{
    appendFile(folder, std::move(name), static_cast<std::int64_t>(st.st_size));
    ScanRecord& record = m_records.back();
    record.modified = static_cast<std::int64_t>(st.st_mtime);
    record.statKnown = true;
    record.link = S_ISLNK(st.st_mode);
}

void RecordList::appendUnreadableFile(const FolderNode* folder, std::string name, int statError)
{
    appendFile(folder, std::move(name), 0);
    m_records.back().statError = statError;
}

void RecordList::computeFolderTotals()
{
    // The nodes belong to this list: the records point at them as const only to keep
    // layouts from changing them.
    for (FolderNode& node : m_folders) {
        node.totalSize = 0;
        node.totalFiles = 0;
    }
    for (const ScanRecord& record : m_records) {
        if (!record.isFile() || !record.folder)
            continue;
        auto* node = const_cast<FolderNode*>(record.folder);
        if (!record.repeatLink)
            node->totalSize += record.size;
        ++node->totalFiles;
    }
    // A folder is made after its parent, so going backwards every folder is complete before
    // it is added to its parent.
    for (auto it = m_folders.rbegin(); it != m_folders.rend(); ++it) {
        if (!it->parent)
            continue;
        auto* parent = const_cast<FolderNode*>(it->parent);
        parent->totalSize += it->totalSize;
        parent->totalFiles += it->totalFiles;
    }
}

namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFFu;

// Per folder: its records as a chain through nextRecord, its sub-folders as a chain through
// nextSibling, both in the order they were first met in the sorted list.
struct FolderChains {
    FolderChains(std::size_t folders, std::size_t records)
        : firstRecord(folders, kNone), lastRecord(folders, kNone), nextRecord(records + 1, kNone),
          firstChild(folders, kNone), lastChild(folders, kNone), nextSibling(folders, kNone),
          met(folders, false)
    {}

    // Attaches node and any ancestor not met yet (a folder without records of its own).
    void meet(const FolderNode* node)
    {
        while (node && !met[node->index]) {
            met[node->index] = true;
            if (!node->parent) {
                roots.push_back(node->index);
                break;
            }
            const std::uint32_t parent = node->parent->index;
            if (lastChild[parent] == kNone)
                firstChild[parent] = node->index;
            else
                nextSibling[lastChild[parent]] = node->index;
            lastChild[parent] = node->index;
            node = node->parent;
        }
    }
    void addRecord(const FolderNode* node, std::uint32_t record)
    {
        meet(node);
        if (lastRecord[node->index] == kNone)
            firstRecord[node->index] = record;
        else
            nextRecord[lastRecord[node->index]] = record;
        lastRecord[node->index] = record;
    }

    // Each folder's sub-folders by total, ties in their first-met order.
    void sortChildren(const std::deque<FolderNode>& folders, bool descending)
    {
        std::vector<std::uint32_t> children;
        for (std::size_t f = 0; f < folders.size(); ++f) {
            if (firstChild[f] == kNone || nextSibling[firstChild[f]] == kNone)
                continue;
            children.clear();
            for (std::uint32_t c = firstChild[f]; c != kNone; c = nextSibling[c])
                children.push_back(c);
            std::stable_sort(children.begin(), children.end(),
                             [&](std::uint32_t a, std::uint32_t b) {
                                 return descending ? folders[a].totalSize > folders[b].totalSize
                                                   : folders[a].totalSize < folders[b].totalSize;
                             });
            firstChild[f] = children.front();
            for (std::size_t c = 0; c + 1 < children.size(); ++c)
                nextSibling[children[c]] = children[c + 1];
            nextSibling[children.back()] = kNone;
        }
    }

    std::vector<std::uint32_t> firstRecord, lastRecord, nextRecord;
    std::vector<std::uint32_t> firstChild, lastChild, nextSibling;
    std::vector<bool> met;
    std::vector<std::uint32_t> roots;
};

// The records in chains' order, depth first without recursion: a folder's records, then its
// sub-folders in turn; record 0 (the empty one) stays first.
std::vector<ScanRecord> RecordsInChainOrder(std::vector<ScanRecord>& records,
                                            const FolderChains& chains,
                                            const std::function<void()>& yield)
{
    std::vector<ScanRecord> sorted;
    sorted.reserve(records.size());
    sorted.push_back(std::move(records[0]));
    std::vector<std::uint32_t> stack(chains.roots.rbegin(), chains.roots.rend());
    std::vector<std::uint32_t> reversed;
    while (!stack.empty()) {
        const std::uint32_t f = stack.back();
        stack.pop_back();
        for (std::uint32_t k = chains.firstRecord[f]; k != kNone; k = chains.nextRecord[k])
            sorted.push_back(std::move(records[k]));
        reversed.clear();
        for (std::uint32_t c = chains.firstChild[f]; c != kNone; c = chains.nextSibling[c])
            reversed.push_back(c);
        stack.insert(stack.end(), reversed.rbegin(), reversed.rend());
        if ((sorted.size() & 4095) == 0 && yield)
            yield();
    }
    return sorted;
}

} // namespace

void RecordList::sortFoldersByTotal(bool descending, const std::function<void()>& yield)
{
    const std::size_t n = lastIndex();
    FolderChains chains(m_folders.size(), n);
    for (std::size_t k = 1; k <= n; ++k) {
        if ((k & 4095) == 0 && yield)
            yield();
        if (const FolderNode* node = m_records[k].folder)
            chains.addRecord(node, static_cast<std::uint32_t>(k));
    }
    chains.sortChildren(m_folders, descending);
    std::vector<ScanRecord> sorted = RecordsInChainOrder(m_records, chains, yield);
    m_records.swap(sorted);
}

std::string RecordText(const ScanRecord& record)
{
    switch (record.kind) {
    case RecordKind::Empty:
        return {};
    case RecordKind::Folder:
        return record.folder->path() + "|" + std::string(39, '$') + "|" + std::string(17, '0');
    case RecordKind::File:
        break;
    }
    std::string text =
        (record.folder ? record.folder->path() : std::string()) + "|" + record.name + "|";
    AppendSizeDigits(text, record.size);
    return text;
}

std::string ScanRecord::fullPath() const
{
    std::string path = folder ? folder->path() : std::string();
    return path.append(name);
}

} // namespace quillon
