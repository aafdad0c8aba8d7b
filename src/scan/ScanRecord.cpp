#include "scan/ScanRecord.h"

#include <cstdio>

namespace quillon {

std::string_view FolderNode::name() const
{
    if (!parent)
        return path;
    std::string_view p(path);
    p.remove_suffix(1);
    return p.substr(p.rfind('/') + 1);
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

const FolderNode* RecordList::addFolder(const FolderNode* parent, std::string path, int readError)
{
    m_folders.push_back(FolderNode{parent, std::move(path), readError});
    return &m_folders.back();
}

void RecordList::appendFolderRecord(const FolderNode* folder)
{
    m_records.push_back(ScanRecord{folder, {}, 0, RecordKind::Folder});
}

void RecordList::appendFile(const FolderNode* folder, std::string name, std::int64_t size)
{
    m_records.push_back(ScanRecord{folder, std::move(name), size, RecordKind::File});
}

std::string RecordText(const ScanRecord& record)
{
    switch (record.kind) {
    case RecordKind::Empty:
        return {};
    case RecordKind::Folder:
        return std::string(record.folderPath()) + "|" + std::string(39, '$') + "|" +
               std::string(17, '0');
    case RecordKind::File:
        break;
    }
    char digits[32];
    std::snprintf(digits, sizeof digits, "%015lld", static_cast<long long>(record.size));
    return std::string(record.folderPath()) + "|" + record.name + "|" + digits;
}

} // namespace quillon
