#pragma once

#include "scan/ScanRecord.h"

namespace quillon {

/// Brings the record list into folder order: for every folder its own record, then its files,
/// then its sub-folders each grouped the same way. Sibling folders compare by the collation of
/// name + "/", files by the collation of name + "|" + 15-digit size; texts that collate equal
/// are ordered by their bytes, so the same tree always gives the same order. Item 0 stays first.
void SortRecords(RecordList& records);

} // namespace quillon
