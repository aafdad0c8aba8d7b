#include "report/WriteDetails.h"

#include <gtest/gtest.h>

using namespace quillon;

TEST(WriteDetailsColumns, LineWidthCountsEachColumnThatIsOn)
{
    ReportSettings s;
    EXPECT_EQ(DetailsLineWidth(s), 68) << "defaults: name, size, date";
    s.Fields[DetailColumn::Size] = s.Fields[DetailColumn::Date] = false;
    s.Fields[DetailColumn::Filename] = false;
    EXPECT_EQ(DetailsLineWidth(s), 42) << "the name column counts even when off";
    s.Fields[DetailColumn::Size] = s.Fields[DetailColumn::Date] = s.Fields[DetailColumn::Time] =
        s.Fields[DetailColumn::Attribute] = s.Fields[DetailColumn::Version] =
            s.Fields[DetailColumn::Owner] = s.Fields[DetailColumn::CRC32] = true;
    s.Fields[DetailColumn::Title] = s.Fields[DetailColumn::Artist] = s.Fields[DetailColumn::Album] =
        s.Fields[DetailColumn::Year] = s.Fields[DetailColumn::Genre] =
            s.Fields[DetailColumn::Comment] = true;
    EXPECT_EQ(DetailsLineWidth(s), 42 + 14 + 12 + 10 + 5 + 11 + 17 + 12 + 4 * 32 + 6 + 15);
    s.ColSize = QStringLiteral("30");
    EXPECT_EQ(DetailsLineWidth(s), 32 + 14 + 12 + 10 + 5 + 11 + 17 + 12 + 4 * 32 + 6 + 15);
}

TEST(WriteDetailsColumns, NameIsCutAndPaddedByCharacters)
{
    const std::string exact(40, 'n');
    EXPECT_EQ(DetailsNameColumn(exact, 40), exact) << "exactly ColSize: whole";
    // append, not operator+ on a temporary: GCC 12 at -O2 takes the latter for an overflow
    // (a false -Warray-bounds that -Werror makes fatal).
    EXPECT_EQ(DetailsNameColumn(exact + "x", 40), std::string(37, 'n').append("..."));
    EXPECT_EQ(DetailsNameColumn("a.txt", 10), "a.txt     ");
    // The cut falls after blanks: they are trimmed before "...", then the column is padded.
    EXPECT_EQ(DetailsNameColumn("abc   defghijk", 9), "abc...   ");
    // Characters, not bytes: eight two-byte letters fit a column of 8.
    const std::string umlauts = "\u00e4\u00e4\u00e4\u00e4\u00e4\u00e4\u00e4\u00e4";
    EXPECT_EQ(DetailsNameColumn(umlauts, 8), umlauts);
    EXPECT_EQ(DetailsNameColumn(umlauts + "x", 8), "\u00e4\u00e4\u00e4\u00e4\u00e4...");
}

TEST(WriteDetailsColumns, TitleIsCutToTheLineWidth)
{
    EXPECT_EQ(DetailsTitle("Directory of /a", 68), "Directory of /a");
    const std::string longTitle = "Directory of /" + std::string(100, 'd');
    const std::string cut = DetailsTitle(longTitle, 68);
    EXPECT_EQ(cut.size(), 68u);
    EXPECT_EQ(cut, longTitle.substr(0, 65) + "...");
    EXPECT_EQ(DetailsTitle(std::string(68, 't'), 68), std::string(68, 't'));
}
