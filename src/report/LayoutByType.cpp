#include "report/Layouts.h"

namespace quillon {

bool RunLayout(ReportType type, LayoutContext& context)
{
    switch (type) {
    case ReportType::ListInDetails:
        return ListInDetails(context);
    case ReportType::TreeView:
        return TreeViewList(context);
    case ReportType::TreeViewWithSize:
        return TreeViewSizeList(context);
    case ReportType::FolderList:
        return FolderList(context);
    case ReportType::None:
        break;
    }
    return false;
}

bool LayOutScan(ReportType type, const RecordList& records, ScanCounters& counters, bool* cancel,
                const ScanLocationList& locations, const ReportChoices& choices,
                const QString& stagingPath)
{
    LayoutContext context;
    static_cast<ReportChoices&>(context) = choices;
    context.records = &records;
    context.locations = LocationPaths(locations);
    context.stagingPath = stagingPath;
    context.cancel = cancel;
    context.counters = &counters;
    return RunLayout(type, context);
}

} // namespace quillon
