#include "platform/RuntimeTuning.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <malloc.h>

using namespace quillon;

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLON_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define QUILLON_ASAN 1
#endif

namespace {

// Whether the C library maps a block of bytes on its own. The heap's free top is handed back
// first, or the block could come from it whatever the threshold.
bool MappedApart(std::size_t bytes)
{
    malloc_trim(0);
    const std::size_t before = mallinfo2().hblkhd;
    void* volatile block = std::malloc(bytes);
    const bool mapped = mallinfo2().hblkhd > before;
    std::free(block);
    return mapped;
}

} // namespace

TEST(RuntimeTuning, TheSwitchLeavesTheAllocatorItsOwnThreshold)
{
#ifdef QUILLON_ASAN
    GTEST_SKIP() << "the sanitizer's allocator keeps no C library statistics";
#endif
    constexpr std::size_t kMiB = std::size_t(1) << 20;
    setenv("QUILLON_NO_TUNING", "1", 1);
    EXPECT_FALSE(TuningOn());
    // A mapped block freed raises the library's own threshold past it (up to 32 MiB).
    void* volatile big = std::malloc(30 * kMiB);
    std::free(big);
    MapLargeBuffersApart();
    EXPECT_FALSE(MappedApart(24 * kMiB));

    setenv("QUILLON_NO_TUNING", "0", 1);
    EXPECT_TRUE(TuningOn());
    unsetenv("QUILLON_NO_TUNING");
    EXPECT_TRUE(TuningOn());
    MapLargeBuffersApart();
    EXPECT_TRUE(MappedApart(24 * kMiB));
}
