#pragma once

#include "report/ReportType.h"
#include "scan/ExclusionList.h"
#include "scan/FileSeen.h"
#include "scan/ScanLocation.h"
#include "scan/ScanOptions.h"
#include "scan/ScanRecord.h"

namespace quillon::test {

/// The records a scan of the locations gives a report of type, for tests below the app layer
/// (which holds the Scan command): the walk and the sort alone, every level of each location.
class WalkedScan {
public:
    void setOptions(const ScanOptions& options) { m_options = options; }
    /// Told of the files as the walk finds them (none: the default).
    void setFileSeen(FileSeen* fileSeen) { m_fileSeen = fileSeen; }
    /// False when the walk could not read some folder or file.
    bool Run(const ScanLocationList& locations, const ExclusionList& exclusions, ReportType type);
    const RecordList& records() const { return m_records; }

private:
    ScanOptions m_options;
    FileSeen* m_fileSeen = nullptr;
    RecordList m_records;
};

} // namespace quillon::test
