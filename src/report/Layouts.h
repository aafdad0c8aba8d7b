#pragma once

#include "report/LayoutContext.h"
#include "scan/ReportType.h"

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

} // namespace quillon
