#include "scan/SortStrings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace quillon {
namespace {

using Texts = std::vector<std::string>;

// A sort value and a tag that tells equal items apart; the comparison counts its calls.
struct Tagged {
    int value;
    int tag;
};
struct CountingCompare {
    int* calls;
    int operator()(const Tagged& a, const Tagged& b) const
    {
        ++*calls;
        return (a.value > b.value) - (a.value < b.value);
    }
};

bool TagsInOrder(const std::vector<Tagged>& items)
{
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].tag != static_cast<int>(i))
            return false;
    return true;
}

TEST(SortStrings, UpTo61ItemsByInsertionAlone)
{
    int calls = 0;
    std::vector<Tagged> one = {{3, 0}};
    SortStrings(one, true, CountingCompare{&calls});
    EXPECT_EQ(calls, 0);
    // Insertion keeps equal items in order with n - 1 comparisons; a partition moves them.
    for (const bool ascending : {true, false}) {
        for (const int n : {61, 62}) {
            std::vector<Tagged> items;
            for (int i = 0; i < n; ++i)
                items.push_back({7, i});
            calls = 0;
            SortStrings(items, ascending, CountingCompare{&calls});
            EXPECT_EQ(TagsInOrder(items), n == 61) << n;
            EXPECT_EQ(calls == n - 1, n == 61) << n;
        }
    }
}

TEST(SortStrings, TextsByCollationOrByCode)
{
    Texts texts = {"Beta", "alpha", "Gamma"};
    SortStrings(texts, true, false);
    EXPECT_EQ(texts, (Texts{"alpha", "Beta", "Gamma"}));
    SortStrings(texts, false, false);
    EXPECT_EQ(texts, (Texts{"Gamma", "Beta", "alpha"}));
    SortStrings(texts, true, true);
    EXPECT_EQ(texts, (Texts{"Beta", "Gamma", "alpha"}));
    SortStrings(texts, false, true);
    EXPECT_EQ(texts, (Texts{"alpha", "Gamma", "Beta"}));

    // Texts that collate equal (case variants, invalid bytes) still have one order.
    texts = {"beta", "BETA", "Beta", "a\xFF", "a\xEF\xBF\xBD", "a\xFE"};
    Texts reversed(texts.rbegin(), texts.rend());
    SortStrings(texts, true, false);
    SortStrings(reversed, true, false);
    EXPECT_EQ(texts, reversed);
    EXPECT_EQ(texts, (Texts{"a\xEF\xBF\xBD", "a\xFE", "a\xFF", "BETA", "Beta", "beta"}));
    SortStrings(reversed, false, false);
    EXPECT_TRUE(std::equal(texts.begin(), texts.end(), reversed.rbegin()));
}

TEST(SortStrings, RandomRangesBecomeSortedPermutations)
{
    std::mt19937 random(1234);
    for (const int size : {2, 3, 61, 62, 63, 500, 5000}) {
        for (const int distinct : {1, 3, 100000}) {
            for (const bool ascending : {true, false}) {
                SCOPED_TRACE(testing::Message() << size << " " << distinct << " " << ascending);
                std::vector<Tagged> items;
                for (int i = 0; i < size; ++i)
                    items.push_back({static_cast<int>(random() % distinct), i});
                // Sort an inner range: the items outside must not move.
                const std::ptrdiff_t lo = size > 10 ? 3 : 0;
                const std::ptrdiff_t hi = size > 10 ? size - 4 : size - 1;
                auto expected = items;
                std::stable_sort(expected.begin() + lo, expected.begin() + hi + 1,
                                 [&](const Tagged& a, const Tagged& b) {
                                     return ascending ? a.value < b.value : a.value > b.value;
                                 });
                int calls = 0;
                SortRange(items, lo, hi, ascending, CountingCompare{&calls});
                for (int i = 0; i < size; ++i) {
                    ASSERT_EQ(items[i].value, expected[i].value) << "at " << i;
                    if (i < lo || i > hi) {
                        ASSERT_EQ(items[i].tag, expected[i].tag);
                    }
                }
                std::sort(items.begin(), items.end(),
                          [](const Tagged& a, const Tagged& b) { return a.tag < b.tag; });
                EXPECT_TRUE(TagsInOrder(items)); // every item exactly once
            }
        }
    }
}

} // namespace
} // namespace quillon
