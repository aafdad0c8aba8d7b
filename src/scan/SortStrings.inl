// Implementation of the sort declared in SortStrings.h.
#pragma once

namespace quillon::detail {

template <class Item, class Compare>
void InsertionSort(std::vector<Item>& items, std::ptrdiff_t lo, std::ptrdiff_t hi, int order,
                   Compare& compare)
{
    for (std::ptrdiff_t i = lo + 1; i <= hi; ++i) {
        Item t = std::move(items[i]);
        std::ptrdiff_t j = i - 1;
        while (j >= lo && compare(items[j], t) == order) {
            items[j + 1] = std::move(items[j]);
            --j;
        }
        items[j + 1] = std::move(t);
    }
}

template <class Item, class Compare>
std::ptrdiff_t Partition(std::vector<Item>& items, std::ptrdiff_t lo, std::ptrdiff_t hi, int order,
                         Compare& compare)
{
    const std::ptrdiff_t mid = lo + (hi - lo) / 2;
    Item pivot = std::move(items[mid]);
    if (mid != lo)
        items[mid] = std::move(items[lo]);
    std::ptrdiff_t i = lo + 1;
    std::ptrdiff_t j = hi;
    for (;;) {
        while (i < j && compare(pivot, items[i]) == order)
            ++i;
        while (j >= i && compare(items[j], pivot) == order)
            --j;
        if (i >= j)
            break;
        std::swap(items[i], items[j]);
        ++i;
        --j;
    }
    if (j != lo)
        items[lo] = std::move(items[j]);
    items[j] = std::move(pivot);
    return j;
}

} // namespace quillon::detail

namespace quillon {

template <class Item, class Compare>
requires std::invocable<Compare&, const Item&, const Item&>
void SortRange(std::vector<Item>& items, std::ptrdiff_t lo, std::ptrdiff_t hi, bool ascending,
               Compare&& compare)
{
    const int order = ascending ? 1 : -1;
    if (hi - lo <= 60) {
        detail::InsertionSort(items, lo, hi, order, compare);
        return;
    }
    while (lo < hi) {
        const std::ptrdiff_t p = detail::Partition(items, lo, hi, order, compare);
        if (hi - p < p - lo) {
            SortRange(items, p + 1, hi, ascending, compare);
            hi = p - 1;
        } else {
            SortRange(items, lo, p - 1, ascending, compare);
            lo = p + 1;
        }
    }
}

} // namespace quillon
