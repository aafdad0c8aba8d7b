#include "report/Layouts.h"
#include "report/TreeLayout.h"

namespace quillon {

bool TreeViewSizeList(LayoutContext& context)
{
    return RunTreeLayout(context, TreeStyle::WithSizes);
}

} // namespace quillon
