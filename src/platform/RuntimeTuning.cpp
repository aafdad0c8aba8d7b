#include "platform/RuntimeTuning.h"

#include <malloc.h>

namespace quillon {

void MapLargeBuffersApart(std::size_t bytes)
{
    ::mallopt(M_MMAP_THRESHOLD, static_cast<int>(bytes));
}

void ReturnFreedMemory()
{
    ::malloc_trim(0);
}

} // namespace quillon
