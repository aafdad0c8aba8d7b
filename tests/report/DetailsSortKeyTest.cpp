#include "report/DetailsSortKey.h"

#include <gtest/gtest.h>

using namespace quillon;

TEST(DetailsSortKey, KeyTextsKeepFieldsWhole)
{
    const DetailsSortKey key{"/m/", "what?.txt", 2048, "20210304"};
    EXPECT_EQ(DetailsKeyText(key, DetailsSortBy::Name), "/m/?what?.txt?000000000002048");
    EXPECT_EQ(DetailsKeyText(key, DetailsSortBy::Size), "000000000002048?/m/?what?.txt");
    EXPECT_EQ(DetailsKeyText(key, DetailsSortBy::Date), "20210304?/m/?what?.txt?000000000002048");
    EXPECT_EQ(DetailsSortByText(QStringLiteral("Size")), DetailsSortBy::Size);
    EXPECT_EQ(DetailsSortByText(QStringLiteral("Date")), DetailsSortBy::Date);
    EXPECT_EQ(DetailsSortByText(QStringLiteral("size")), DetailsSortBy::Name);
}
