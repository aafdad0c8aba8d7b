#include "report/DetailsSortKey.h"
#include "report/FolderSortList.h"

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

TEST(DetailsSortKey, FolderListsSortFromAnyStartingOrder)
{
    // A list already in order is taken as it is; one pair out of order anywhere, or two keys
    // that collate equal, must still be sorted. A negative size sorts as 0; days spell as printf
    // did.
    const DetailsSortKey negative{"", "n", -5, ""};
    EXPECT_EQ(DetailsKeyText(negative, DetailsSortBy::Size), "000000000000000??n");
    std::tm day{};
    day.tm_year = 5 - 1900;
    day.tm_mon = 11;
    day.tm_mday = 7;
    EXPECT_EQ(DayKey(day), "00051207");
    // "C" and "c" collate equal and keep their order by bytes either way.
    const std::vector<std::string> up = {"a", "ab", "B", "bc", "C", "c", "d"};
    const std::vector<std::string> down = {"d", "C", "c", "bc", "B", "ab", "a"};
    for (const bool ascending : {true, false}) {
        const std::vector<std::string>& expected = ascending ? up : down;
        for (std::size_t swap = 0; swap < expected.size(); ++swap) {
            std::vector<std::string> names = expected;
            if (swap + 1 < names.size())
                std::swap(names[swap], names[swap + 1]);
            FolderSortList list(DetailsSortBy::Name, ascending);
            for (const std::string& name : names)
                list.add(DetailsSortKey{"", name, 1, ""});
            std::vector<std::string> got;
            for (const DetailsSortKey& key : list.sorted())
                got.emplace_back(key.name);
            EXPECT_EQ(got, expected) << ascending << " " << swap;
        }
    }
}
