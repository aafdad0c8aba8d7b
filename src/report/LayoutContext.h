#pragma once

#include "details/FileDetails.h"
#include "platform/ErrorReport.h"
#include "platform/ProgressHooks.h"
#include "report/ReportFont.h"
#include "report/ReportSettings.h"
#include "scan/ScanCounters.h"
#include "scan/ScanRecord.h"

#include <QString>
#include <functional>
#include <string>
#include <vector>

namespace quillon {

class DuplicatesFeed;

/// Sort choice of List In Details: the main window's cmbSort text and optAsc/optDesc.
struct DetailsSort {
    QString key = QStringLiteral("Name"); ///< "Name", "Size" or "Date"
    bool ascending = true;
};

/// What a front end chooses for its reports: the window from its controls, batch mode from
/// the job file and the stored settings.
struct ReportChoices {
    ReportSettings settings;
    ReportFont font;
    DetailsSort sort;
    ProgressHooks progress;
    ErrorDecider decide;
    /// When set (batch mode), a file detail that cannot be read (the checksum of an unreadable
    /// file) is told here and its column left blank, and the report goes on; when empty, the
    /// error goes through the error convention (the window asks Retry or Abort).
    std::function<void(const std::string& path, const QString& reason)> unreadableDetail;
    /// When set and unreadableDetail is not (the window), a detail that is not worth a Retry or
    /// Abort question (a version, a tag, a file's status) is told here for the status panel,
    /// and its column is left blank.
    std::function<void(const std::string& path, const QString& reason)> unreadableNote;
    /// When set, the walk of the records fed it the duplicates' first blocks as it went.
    DuplicatesFeed* duplicatesFeed = nullptr;
};

/// Everything a layout reads and writes: the front end's choices and what the scan run hands
/// in.
struct LayoutContext : ReportChoices {
    const RecordList* records = nullptr;
    std::vector<std::string> locations; ///< scan-location paths in list order (levels)
    QString stagingPath;                ///< the staging file "tmpfile.dmp"
    bool* cancel = nullptr;             ///< the scan's cancel flag; set when the user gives up
    ScanCounters* counters = nullptr;   ///< raised by the layout when given
    /// When set, the records did not come from a walk of this disk (a saved listing): no file
    /// is looked at, a line shows what its record holds and its details come from here, by
    /// the record's index.
    std::function<void(std::size_t record, FileDetails& details)> recordDetails;
};

} // namespace quillon
