#include "support/WalkedScan.h"

#include "scan/RecordSort.h"
#include "scan/Walker.h"

namespace quillon::test {

bool WalkedScan::Run(const ScanLocationList& locations, const ExclusionList& exclusions,
                     ReportType type)
{
    m_records.clear();
    const std::vector<std::string> paths = LocationPaths(locations);
    bool complete = true;
    {
        Walker walker(m_records, exclusions, paths, ProgressHooks(), nullptr);
        walker.setThreads(m_options.threads);
        walker.setFileSeen(m_fileSeen);
        for (std::size_t row = 0; row < locations.size(); ++row) {
            if (locations[row].excluded() || locations[row].path.trimmed().isEmpty())
                continue;
            WalkSettings settings;
            settings.subFolders = locations[row].withSubFolders();
            settings.filter = locations[row].filter;
            settings.folderRecords = type != ReportType::ListInDetails;
            settings.fileRecords = type != ReportType::FolderList || m_options.folderTotals ||
                                   m_options.sortFoldersByTotal;
            settings.includeHidden = m_options.includeHidden;
            settings.oneFileSystem = m_options.oneFileSystem;
            settings.countHardLinksOnce = m_options.countHardLinksOnce;
            settings.sizeOnDisk = m_options.sizeOnDisk;
            walker.WalkLocation(paths[row], settings);
        }
        complete = walker.unreadableFolders().empty() && walker.unreadableFileCount() == 0;
        if (m_fileSeen)
            m_fileSeen->walked(false);
    }
    SortRecords(m_records, {});
    if (m_options.folderTotals || m_options.sortFoldersByTotal)
        m_records.computeFolderTotals();
    if (m_options.sortFoldersByTotal)
        m_records.sortFoldersByTotal(m_options.totalsDescending, {});
    return complete;
}

} // namespace quillon::test
