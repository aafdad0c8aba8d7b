#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace quillon {

/// The program's sort: insertion sort for ranges of at most 61 items, otherwise partition
/// around the middle item, the smaller part by recursion and the larger by the loop (so the
/// recursion stays shallow). Not stable across partitions.
///
/// compare(x, y) returns -1, 0 or 1 (x before, equal, after y). With ascending false the order
/// is reversed. Items lo..hi (both included) are sorted; nothing outside changes.
template <class Item, class Compare>
void SortRange(std::vector<Item>& items, std::ptrdiff_t lo, std::ptrdiff_t hi, bool ascending,
               Compare&& compare);

/// Sorts the whole list (lower to upper index).
template <class Item, class Compare>
void SortStrings(std::vector<Item>& items, bool ascending, Compare&& compare)
{
    if (items.size() > 1)
        SortRange(items, 0, static_cast<std::ptrdiff_t>(items.size()) - 1, ascending, compare);
}

} // namespace quillon

#include "scan/SortStrings.inl"
