#include "scan/ScanRecord.h"

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
    m_folders.push_back(FolderNode{parent, std::move(name), pathLength, readError});
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
    char digits[32];
    std::snprintf(digits, sizeof digits, "%015lld", static_cast<long long>(record.size));
    return (record.folder ? record.folder->path() : std::string()) + "|" + record.name + "|" +
           digits;
}

} // namespace quillon
