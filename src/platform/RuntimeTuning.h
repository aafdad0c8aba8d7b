#pragma once

#include <cstddef>

namespace quillon {

/// What the window and the batch commands ask of the C library's allocator. Large buffers that
/// grow by doubling (a report's text and tables, a scan's record list) are mapped on their own,
/// so they grow without copying and go back to the system whole when freed. Under the
/// library's own threshold, which rises to 32 MiB after the first such block is freed, each later
/// buffer left its old copies as holes in the heap.

/// The window's threshold: its reports' buffers of a few megabytes and more.
inline constexpr std::size_t kWindowMapThreshold = std::size_t(4) << 20;
/// A comparison's: its second scan's record list grows in blocks well below the window's.
inline constexpr std::size_t kCompareMapThreshold = std::size_t(128) << 10;

/// Maps every allocation of at least bytes on its own, for the whole process.
void MapLargeBuffersApart(std::size_t bytes = kWindowMapThreshold);

/// Hands back to the system the free blocks scattered through the heap (a scan just let go), so
/// that what comes next does not come on top of them.
void ReturnFreedMemory();

} // namespace quillon
