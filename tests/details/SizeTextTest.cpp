#include "details/SizeText.h"

#include <gtest/gtest.h>

#include <limits>

using namespace quillon;

namespace {

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

} // namespace

TEST(FormatSize, PicksTheUnitByMagnitude)
{
    const std::pair<double, const char*> cases[] = {
        {0, "0 bytes"},          {1023, "1023 bytes"},
        {1023.9, "1023 bytes"}, // the fraction is dropped, not rounded
        {1024, "1.00 KB"},       {1536, "1.50 KB"},
        {1048575, "1024.00 KB"}, {1048576, "1.00 MB"},
        {1073741824, "1.00 GB"}, {5.0 * 1024 * 1073741824, "5120.00 GB"},
    };
    for (const auto& [size, text] : cases)
        EXPECT_EQ(FormatSize(size, kEnglish), QString::fromLatin1(text)) << size;
}

TEST(FormatSizeFixed, FollowsTheChosenUnit)
{
    EXPECT_EQ(FormatSizeFixed(1234567, "Bytes", kEnglish), "1,234,567");
    EXPECT_EQ(FormatSizeFixed(1234567890, "Bytes", kEnglish), "1,234,567,890");
    EXPECT_EQ(FormatSizeFixed(999, "Bytes", kEnglish), "999");
    EXPECT_EQ(FormatSizeFixed(1536, "KB", kEnglish), "2 KB");
    EXPECT_EQ(FormatSizeFixed(100, "KB", kEnglish), "0 KB");
    EXPECT_EQ(FormatSizeFixed(524288, "MB", kEnglish), "0.50 MB");
    EXPECT_EQ(FormatSizeFixed(3221225472.0, "GB", kEnglish), "3.00 GB");
    // Compared exactly: other texts leave the column blank.
    EXPECT_EQ(FormatSizeFixed(1536, "kb", kEnglish), "");
    EXPECT_EQ(FormatSizeFixed(1536, "", kEnglish), "");
}

TEST(SizeTexts, NotANumberGivesZeroBytes)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(FormatSize(nan, kEnglish), "0 Bytes");
    EXPECT_EQ(FormatSize(inf, kEnglish), "0 Bytes");
    EXPECT_EQ(FormatSizeFixed(nan, "KB", kEnglish), "0 Bytes");
    EXPECT_EQ(FormatSizeFixed(-inf, "Bytes", kEnglish), "0 Bytes");
}

TEST(SizeTexts, UseTheLocalesSeparators)
{
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(FormatSize(1536, german), "1,50 KB");
    EXPECT_EQ(FormatSizeFixed(1234567, "Bytes", german), "1.234.567");
    EXPECT_EQ(FormatSizeFixed(1048576.0 * 2048, "MB", german), "2048,00 MB") << "no grouping";
    // The C locale leaves grouping off by default; "#,0" still groups.
    EXPECT_EQ(FormatSizeFixed(1234567, "Bytes", QLocale::c()), "1,234,567");
}

TEST(SizeTexts, WholeKilobytesMatchTheLocaleFormattingAtEveryHalf)
{
    // The "KB" column takes a shortcut past QLocale; it must agree with it, halves included.
    QLocale plain(QLocale::English, QLocale::UnitedStates);
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    for (double size = 0; size < 4.0e6; size += 511.75) {
        const QString expected = plain.toString(size / 1024, 'f', 0) + QStringLiteral(" KB");
        ASSERT_EQ(FormatSizeFixed(size, QStringLiteral("KB"), plain), expected) << size;
    }
    EXPECT_EQ(FormatSizeFixed(1536, QStringLiteral("KB"), plain), QStringLiteral("2 KB"));
    EXPECT_EQ(FormatSizeFixed(2560, QStringLiteral("KB"), plain), QStringLiteral("3 KB"));
}

TEST(FormatSizeFixed, WholeKilobytesWithoutAQStringAreTheSameText)
{
    // Halves round away from zero; other units and locales of other digits take the QString.
    const double sizes[] = {0, 511, 512, 1535, 1536, 2047.5, 1e9, 9.2e18, -1};
    for (const QLocale& locale : {kEnglish, QLocale(QLocale::German, QLocale::Germany),
                                  QLocale(QLocale::Arabic, QLocale::Egypt)}) {
        for (const char* unit : {"KB", "Bytes", "MB"}) {
            for (const double size : sizes) {
                std::string out = "x";
                const QString expected = "x" + FormatSizeFixed(size, unit, locale);
                if (AppendWholeKilobytes(out, size, unit, locale))
                    EXPECT_EQ(QString::fromStdString(out), expected) << size;
                else
                    EXPECT_EQ(out, "x") << size;
            }
        }
    }
    std::string out;
    EXPECT_TRUE(AppendWholeKilobytes(out, 1536, "KB", kEnglish));
    EXPECT_FALSE(AppendWholeKilobytes(out, 1536, "KB", QLocale(QLocale::Arabic, QLocale::Egypt)));
    EXPECT_FALSE(AppendWholeKilobytes(out, std::numeric_limits<double>::quiet_NaN(), "KB"));
}
