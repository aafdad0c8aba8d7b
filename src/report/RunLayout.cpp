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

} // namespace quillon
