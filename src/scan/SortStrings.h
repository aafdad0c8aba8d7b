#pragma once

#include <concepts>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace quillon {

class Collation;

/// The program's sort: insertion sort for ranges of at most 61 items, otherwise partition
/// around the middle item, the smaller part by recursion and the larger by the loop (so the
/// recursion stays shallow). Not stable across partitions.
///
/// compare(x, y) returns -1, 0 or 1 (x before, equal, after y). With ascending false the order
/// is reversed. Items lo..hi (both included) are sorted; nothing outside changes.
template <class Item, class Compare>
requires std::invocable<Compare&, const Item&, const Item&>
void SortRange(std::vector<Item>& items, std::ptrdiff_t lo, std::ptrdiff_t hi, bool ascending,
               Compare&& compare);

/// Sorts the whole list (lower to upper index) with the given comparison.
template <class Item, class Compare>
requires std::invocable<Compare&, const Item&, const Item&>
void SortStrings(std::vector<Item>& items, bool ascending, Compare&& compare)
{
    if (items.size() > 1)
        SortRange(items, 0, static_cast<std::ptrdiff_t>(items.size()) - 1, ascending, compare);
}

/// Sorts texts (UTF-8 bytes, possibly invalid) in place. Case-insensitive compares by the
/// collation of the user's locale, texts that collate equal by their bytes; case-sensitive
/// compares bytes, which is code point order.
void SortStrings(std::vector<std::string>& texts, bool ascending, bool caseSensitive);

/// Case-insensitive sort of texts with a collation the caller keeps (for sorting many lists).
void SortStrings(std::vector<std::string>& texts, bool ascending, const Collation& collation);

} // namespace quillon

#include "scan/SortStrings.inl"
