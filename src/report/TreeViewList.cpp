#include "report/Layouts.h"
#include "report/TreeLayout.h"

namespace quillon {

bool TreeViewList(LayoutContext& context)
{
    return RunTreeLayout(context, TreeStyle::Plain);
}

} // namespace quillon
