#pragma once

#include "scan/ScanRecord.h"

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace quillon {

/// Brings the record list into folder order: for every folder its own record, then its files,
/// then its sub-folders each grouped the same way. Sibling folders compare by the collation of
/// name + "/", files by the collation of name + "|" + 15-digit size; texts that collate equal
/// are ordered by their bytes, so the same tree always gives the same order. Item 0 stays first.
/// yield, when given, runs every few hundred comparisons and records (the window lets its
/// events run there); an exception it throws leaves the records in no particular order.
void SortRecords(RecordList& records, const std::function<void()>& yield = {});

/// The same order one folder at a time, for a walk that hands its records out as it goes:
/// SortRecords' comparisons with one collator kept from folder to folder. yield, when given,
/// runs as SortRecords runs it.
class FolderRecordOrder {
public:
    explicit FolderRecordOrder(std::function<void()> yield = {});
    ~FolderRecordOrder();
    FolderRecordOrder(const FolderRecordOrder&) = delete;
    FolderRecordOrder& operator=(const FolderRecordOrder&) = delete;

    /// Puts items[begin, end), the file records of one folder, in SortRecords' order.
    void sortFiles(std::vector<ScanRecord>& items, std::size_t begin, std::size_t end);
    /// Puts the sub-folders of one folder in SortRecords' order: ids are reordered, nameOf
    /// gives the name of each.
    void sortFolders(std::vector<std::size_t>& ids,
                     const std::function<std::string_view(std::size_t)>& nameOf);

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

} // namespace quillon
