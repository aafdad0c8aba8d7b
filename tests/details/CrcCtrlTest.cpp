#include "details/CrcCtrl.h"
#include "platform/CommandError.h"
#include "support/FixtureTree.h"

#include <gtest/gtest.h>

using namespace quillon;
using namespace quillon::test;

namespace {

// Bit-at-a-time CRC-32 (reflected polynomial 0xEDB88320), independent of the library.
std::uint32_t ReferenceCrc(const std::string& bytes)
{
    std::uint32_t crc = 0xFFFFFFFF;
    for (const unsigned char b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

} // namespace

TEST(CrcCtrl, KnownVectors)
{
    FixtureTree tree;
    tree.file("check.txt", "123456789");
    tree.file("empty.txt");
    CrcCtrl crc;
    crc.SetMode(CrcCtrl::kModeCrc32);
    crc.ComputeFile(tree.path("check.txt"));
    EXPECT_EQ(crc.Result(), "CBF43926");
    crc.ComputeFile(tree.path("empty.txt"));
    EXPECT_EQ(crc.Result(), "00000000");
    EXPECT_EQ(CrcCtrl::HexText(0x0000ABCD), "0000ABCD") << "leading zeros kept";
}

TEST(CrcCtrl, WholeFileAcrossManyReads)
{
    // Larger than the read buffer, with a pattern that a dropped or repeated block would change.
    std::string content(3 * (1 << 20) + 12345, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>((i * 2654435761u) >> 24);
    FixtureTree tree;
    tree.file("big.bin", content);
    CrcCtrl crc;
    crc.ComputeFile(tree.path("big.bin"));
    const std::uint32_t expected = ReferenceCrc(content);
    EXPECT_EQ(crc.Value(), expected);
    EXPECT_EQ(crc.Result(), CrcCtrl::HexText(expected));
}

TEST(CrcCtrl, UnreadableFileThrowsAndLeavesNoResult)
{
    FixtureTree tree;
    tree.file("ok.txt", "123456789");
    tree.folder("folder");
    CrcCtrl crc;
    crc.ComputeFile(tree.path("ok.txt"));
    ASSERT_EQ(crc.Result(), "CBF43926");
    try {
        crc.ComputeFile(tree.path("missing.txt"));
        FAIL() << "no error for a missing file";
    } catch (const CommandError& error) {
        EXPECT_EQ(error.number(), ENOENT);
        EXPECT_TRUE(error.description().contains(QStringLiteral("missing.txt")));
    }
    EXPECT_EQ(crc.Result(), "") << "no result carries over from the previous file";
    // A folder is no file to checksum: left out, as links and devices are.
    EXPECT_EQ(crc.ComputeFile(tree.path("folder")), CrcCtrl::Outcome::Skipped);
}

TEST(CrcCtrl, OnlyRegularFilesReachedWithoutALink)
{
    FixtureTree tree;
    tree.file("ok.txt", "123456789");
    tree.symlink("link.txt", "ok.txt");
    CrcCtrl crc;
    EXPECT_EQ(crc.ComputeFile(tree.path("link.txt")), CrcCtrl::Outcome::Skipped);
    EXPECT_EQ(crc.Result(), "");
    // /proc files claim size 0 and make their content up (/proc/kmsg takes the kernel's log).
    EXPECT_EQ(crc.ComputeFile("/proc/self/status"), CrcCtrl::Outcome::Skipped);
    EXPECT_EQ(crc.ComputeFile("/dev/null"), CrcCtrl::Outcome::Skipped);
    EXPECT_EQ(crc.ComputeFile(tree.path("ok.txt")), CrcCtrl::Outcome::Done);
    EXPECT_EQ(crc.Result(), "CBF43926");
}

TEST(CrcCtrl, InterruptStopsALongFileBetweenBlocks)
{
    FixtureTree tree;
    tree.sparseFile("huge.bin", std::int64_t{1} << 40); // 1 TiB of holes
    CrcCtrl crc;
    int asked = 0;
    crc.SetInterrupt([&] { return ++asked == 3; });
    EXPECT_EQ(crc.ComputeFile(tree.path("huge.bin")), CrcCtrl::Outcome::Cancelled);
    EXPECT_EQ(asked, 3) << "asked between blocks, and stopped when told";
    EXPECT_EQ(crc.Result(), "");
}
