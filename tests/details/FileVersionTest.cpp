#include "details/FileVersion.h"
#include "PeImageBuilder.h"
#include "details/PeVersion.h"
#include "support/FixtureTree.h"

#include <gtest/gtest.h>

using namespace quillon;
using namespace quillon::test;

namespace {

std::optional<FileVersion> Parse(const std::string& image)
{
    return ReadPeVersion(
        std::span(reinterpret_cast<const unsigned char*>(image.data()), image.size()));
}

} // namespace

TEST(PeVersion, ReadsPe32AndPe32Plus)
{
    EXPECT_EQ(Parse(BuildPeImage()), (FileVersion{5, 1, 2600, 0}));
    EXPECT_EQ(Parse(BuildPeImage(
                  {.pe32Plus = true, .major = 10, .minor = 0, .build = 19041, .revision = 65535})),
              (FileVersion{10, 0, 19041, 65535}));
    EXPECT_EQ(Parse(BuildPeImage({.namedTypeFirst = false})), (FileVersion{5, 1, 2600, 0}))
        << "RT_VERSION as the only type entry";
}

TEST(PeVersion, MissingOrDamagedStructuresGiveNothing)
{
    EXPECT_FALSE(Parse(BuildPeImage({.withVersion = false}))) << "no RT_VERSION";
    EXPECT_FALSE(Parse("")) << "empty file";
    EXPECT_FALSE(Parse(std::string(4096, 'A'))) << "not an image";

    const auto corrupted = [](auto change) {
        std::string image = BuildPeImage();
        change(image);
        return Parse(image);
    };
    EXPECT_FALSE(corrupted([](std::string& i) { Put32(i, PeLayout::kFixedInfo, 0xFEEF04BE); }))
        << "bad fixed-info signature";
    EXPECT_FALSE(corrupted([](std::string& i) { i[PeLayout::kVersionInfo + 6] = 'X'; }))
        << "wrong key";
    EXPECT_FALSE(corrupted([](std::string& i) { Put32(i, 0x3C, 0xFFFFFFF0); }))
        << "PE header offset beyond the file";
    EXPECT_FALSE(corrupted([](std::string& i) { Put16(i, PeLayout::kPeHeader + 24, 0x107); }))
        << "unknown optional-header magic";
    EXPECT_FALSE(corrupted([](std::string& i) { Put16(i, PeLayout::kVersionInfo + 2, 20); }))
        << "value too short for the fixed record";
    EXPECT_FALSE(corrupted([](std::string& i) { Put32(i, PeLayout::kDataEntry + 4, 40); }))
        << "resource smaller than its record";
    EXPECT_FALSE(corrupted([](std::string& i) { Put32(i, PeLayout::kDataEntry, 0xFFFFFFF0); }))
        << "data RVA outside every section";
    EXPECT_FALSE(corrupted([](std::string& i) {
        Put32(i, PeLayout::kSectionTable(false) + 20, 0x7FFFFFF0);
    })) << "section raw data beyond the file";
}

TEST(PeVersion, HostileResourceTreesEndQuickly)
{
    using L = PeLayout;
    // The language level points back at the root: the fixed depth must stop it.
    std::string cyclic = BuildPeImage();
    Put32(cyclic, L::kNameDirectory + 24 + 20, 0x80000000u);
    EXPECT_FALSE(Parse(cyclic));

    // A directory claiming 65535 named and 65535 id entries, none of them RT_VERSION.
    std::string crowded = BuildPeImage();
    Put16(crowded, L::kTypeDirectory + 12, 0xFFFF);
    Put16(crowded, L::kTypeDirectory + 14, 0xFFFF);
    EXPECT_FALSE(Parse(crowded));

    // Entry offsets with every bit set.
    std::string wild = BuildPeImage();
    Put32(wild, L::kTypeDirectory + 28, 0xFFFFFFFF);
    EXPECT_FALSE(Parse(wild));
}

TEST(PeVersion, EveryTruncationIsRejectedSafely)
{
    for (const bool plus : {false, true}) {
        const std::string image = BuildPeImage({.pe32Plus = plus});
        ASSERT_TRUE(Parse(image));
        // The resource runs to the very end, so every shorter prefix lacks part of it. The
        // prefixes are copied so a read past their end is caught by the sanitizers.
        for (std::size_t length = 0; length < image.size(); ++length) {
            const std::string cut = image.substr(0, length);
            EXPECT_FALSE(Parse(cut)) << "length " << length;
        }
    }
}

TEST(FileVersionText, ExaminesOnlyExecutableExtensionsInAnyCase)
{
    EXPECT_TRUE(HasVersionExtension("/w/setup.EXE"));
    EXPECT_TRUE(HasVersionExtension("/w/lib.Dll"));
    EXPECT_TRUE(HasVersionExtension("/w/ctl.ocx"));
    EXPECT_FALSE(HasVersionExtension("/w/readme.txt"));
    EXPECT_FALSE(HasVersionExtension("/w/a.exe.bak"));
    EXPECT_FALSE(HasVersionExtension("exe"));

    FixtureTree tree;
    const std::string image = BuildPeImage();
    tree.file("setup.EXE", image);
    tree.file("same.txt", image);
    tree.file("plain.dll", "MZ not really");
    tree.file("cut.exe", image.substr(0, image.size() - 10));
    EXPECT_EQ(FileVersionText(tree.path("setup.EXE")), "5.1.2600.0");
    EXPECT_EQ(FileVersionText(tree.path("same.txt")), "");
    EXPECT_EQ(FileVersionText(tree.path("plain.dll")), "");
    EXPECT_EQ(FileVersionText(tree.path("cut.exe")), "");
    EXPECT_EQ(FileVersionText(tree.path("gone.exe")), "");
    tree.folder("dir.exe");
    EXPECT_EQ(FileVersionText(tree.path("dir.exe")), "");
}
