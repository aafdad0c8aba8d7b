#pragma once

#include "scan/ScanRecord.h"

#include <functional>

namespace quillon {

/// Brings the record list into folder order: for every folder its own record, then its files,
/// then its sub-folders each grouped the same way. Sibling folders compare by the collation of
/// name + "/", files by the collation of name + "|" + 15-digit size; texts that collate equal
/// are ordered by their bytes, so the same tree always gives the same order. Item 0 stays first.
/// yield, when given, runs every few hundred comparisons and records (the window lets its
/// events run there); an exception it throws leaves the records in no particular order.
void SortRecords(RecordList& records, const std::function<void()>& yield = {});

} // namespace quillon
