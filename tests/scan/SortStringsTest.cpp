#include "scan/SortStrings.h"
#include "scan/Collation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace quillon {
namespace {

using Texts = std::vector<std::string>;

// An item with a sort value and a tag that tells equal items apart.
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

std::vector<Tagged> EqualItems(int n)
{
    std::vector<Tagged> items;
    for (int i = 0; i < n; ++i)
        items.push_back({7, i});
    return items;
}

bool TagsInOrder(const std::vector<Tagged>& items)
{
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].tag != static_cast<int>(i))
            return false;
    return true;
}

TEST(SortStrings, OneItemAndEmptyListsAreLeftAlone)
{
    int calls = 0;
    std::vector<Tagged> one = {{3, 0}};
    SortStrings(one, true, CountingCompare{&calls});
    std::vector<Tagged> none;
    SortStrings(none, false, CountingCompare{&calls});
    EXPECT_EQ(calls, 0);
    Texts texts = {"only"};
    SortStrings(texts, true, false);
    EXPECT_EQ(texts, Texts{"only"});
}

TEST(SortStrings, UpTo61ItemsByInsertionAlone)
{
    // Insertion keeps equal items in order and needs n - 1 comparisons on sorted input; the
    // partition moves equal items and compares more.
    for (const bool ascending : {true, false}) {
        int calls = 0;
        auto items = EqualItems(61);
        SortStrings(items, ascending, CountingCompare{&calls});
        EXPECT_TRUE(TagsInOrder(items));
        EXPECT_EQ(calls, 60);

        calls = 0;
        items = EqualItems(62);
        SortStrings(items, ascending, CountingCompare{&calls});
        EXPECT_FALSE(TagsInOrder(items));
        EXPECT_GT(calls, 61);
    }
}

TEST(SortStrings, BetaAlphaGamma)
{
    Texts texts = {"Beta", "alpha", "Gamma"};
    SortStrings(texts, true, false);
    EXPECT_EQ(texts, (Texts{"alpha", "Beta", "Gamma"}));
    SortStrings(texts, false, false);
    EXPECT_EQ(texts, (Texts{"Gamma", "Beta", "alpha"}));
    // Case-sensitive is code order: capitals first.
    SortStrings(texts, true, true);
    EXPECT_EQ(texts, (Texts{"Beta", "Gamma", "alpha"}));
    SortStrings(texts, false, true);
    EXPECT_EQ(texts, (Texts{"alpha", "Gamma", "Beta"}));
}

TEST(SortStrings, TextsThatCollateEqualHaveOneOrder)
{
    Texts texts = {"beta", "BETA", "Beta", "a\xFF", "a\xEF\xBF\xBD", "a\xFE"};
    Texts reversed(texts.rbegin(), texts.rend());
    SortStrings(texts, true, false);
    SortStrings(reversed, true, false);
    EXPECT_EQ(texts, reversed);
    EXPECT_EQ(std::vector<std::string>(texts.end() - 3, texts.end()),
              (Texts{"BETA", "Beta", "beta"}));
    Texts descending = texts;
    SortStrings(descending, false, false);
    EXPECT_TRUE(std::equal(texts.begin(), texts.end(), descending.rbegin()));
}

TEST(SortStrings, RandomListsBecomeSortedPermutations)
{
    std::mt19937 random(1234);
    for (const int size : {2, 3, 60, 61, 62, 63, 100, 500, 1000, 5000}) {
        for (const int distinct : {1, 3, 50, 100000}) {
            for (const bool ascending : {true, false}) {
                SCOPED_TRACE(testing::Message() << size << " items, " << distinct
                                                << " values, ascending " << ascending);
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
                for (int i = 0; i < size; ++i)
                    EXPECT_EQ(items[i].value, expected[i].value) << "at " << i;
                for (std::ptrdiff_t i = 0; i < lo; ++i)
                    EXPECT_EQ(items[i].tag, expected[i].tag);
                for (std::ptrdiff_t i = hi + 1; i < size; ++i)
                    EXPECT_EQ(items[i].tag, expected[i].tag);
                auto tags = items;
                std::sort(tags.begin(), tags.end(),
                          [](const Tagged& a, const Tagged& b) { return a.tag < b.tag; });
                EXPECT_TRUE(TagsInOrder(tags)); // a permutation: every tag once
            }
        }
    }
}

TEST(SortStrings, RandomTextsFollowTheCollation)
{
    std::mt19937 random(99);
    const std::string alphabet[] = {"a", "B", "b", "\xC3\xA9", "_", "|", "1", " ", "\xFF", "Z"};
    const Collation collation("C");
    for (const int size : {5, 61, 62, 700}) {
        Texts texts;
        for (int i = 0; i < size; ++i) {
            std::string t;
            for (int k = random() % 4; k >= 0; --k)
                t += alphabet[random() % std::size(alphabet)];
            texts.push_back(t);
        }
        Texts expected = texts;
        std::sort(expected.begin(), expected.end(),
                  [&](const std::string& a, const std::string& b) {
                      return collation.Compare(a, b) < 0;
                  });
        SortStrings(texts, true, collation);
        EXPECT_EQ(texts, expected);
        SortStrings(texts, false, collation);
        std::reverse(expected.begin(), expected.end());
        EXPECT_EQ(texts, expected);
    }
}

} // namespace
} // namespace quillon
