#pragma once

#include "report/LayoutContext.h"
#include "report/ReportType.h"
#include "scan/ScanLocation.h"

namespace quillon {

/// Each layout writes the staging file from the sorted records and fills the counters.
/// Returns true when the staging file is complete and should be loaded into the report pane;
/// false when the user gave up on an error (the cancel flag is then set).
bool TreeViewList(LayoutContext& context);
bool TreeViewSizeList(LayoutContext& context);
bool FolderList(LayoutContext& context);
bool ListInDetails(LayoutContext& context);

/// The layout of a report type (false without writing anything for ReportType::None).
bool RunLayout(ReportType type, LayoutContext& context);

/// The layout step of a scan run (ScanRunHooks::layout) for either front end: lays the run's
/// sorted records out into stagingPath as the report type asks, with the front end's choices
/// and the scan locations' paths as the tree levels. Same answer as RunLayout.
bool LayOutScan(ReportType type, const RecordList& records, ScanCounters& counters, bool* cancel,
                const ScanLocationList& locations, const ReportChoices& choices,
                const QString& stagingPath);

} // namespace quillon
