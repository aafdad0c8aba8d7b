#include "report/DetailsSortKey.h"

#include <gtest/gtest.h>

using namespace quillon;

TEST(DetailsSortKey, KeyTextsKeepFieldsWhole)
{
    const DetailsSortKey key{"/m/", "what?.txt", 2048, "20210304"};
    EXPECT_EQ(DetailsKeyText(key, DetailsSortBy::Name), "/m/?what?.txt?000000000002048");
    EXPECT_EQ(DetailsKeyText(key, DetailsSortBy::Size), "000000000002048?/m/?what?.txt");
    EXPECT_EQ(DetailsKeyText(key, DetailsSortBy::Date), "20210304?/m/?what?.txt?000000000002048");
    // The size digits have one rule, the record sort's: no size orders below zero.
    const DetailsSortKey negative{"/m/", "n", -2048, "20210304"};
    EXPECT_EQ(DetailsKeyText(negative, DetailsSortBy::Size), "000000000000000?/m/?n");
    EXPECT_EQ(DetailsKeyText({"/m/", "n", 1234567890123456789, ""}, DetailsSortBy::Size),
              "1234567890123456789?/m/?n");
    EXPECT_EQ(DetailsSortByText(QStringLiteral("Size")), DetailsSortBy::Size);
    EXPECT_EQ(DetailsSortByText(QStringLiteral("Date")), DetailsSortBy::Date);
    EXPECT_EQ(DetailsSortByText(QStringLiteral("size")), DetailsSortBy::Name);
}
