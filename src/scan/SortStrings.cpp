#include "scan/SortStrings.h"

#include "scan/Collation.h"

#include <cstdint>

namespace quillon {

void SortStrings(std::vector<std::string>& texts, bool ascending, bool caseSensitive)
{
    if (texts.size() < 2)
        return;
    if (caseSensitive) {
        SortStrings(texts, ascending, [](const std::string& a, const std::string& b) {
            return Collation::CompareBytes(a, b);
        });
        return;
    }
    const Collation collation;
    SortStrings(texts, ascending, collation);
}

void SortStrings(std::vector<std::string>& texts, bool ascending, const Collation& collation)
{
    if (texts.size() < 2)
        return;
    // Each key is computed once; the sort moves 4-byte indexes, then the texts move once.
    SortKeyArena keys(collation);
    std::vector<std::uint32_t> order;
    order.reserve(texts.size());
    for (const std::string& text : texts)
        order.push_back(keys.add(text));

    SortStrings(order, ascending, [&](std::uint32_t a, std::uint32_t b) {
        const int byKey = keys.compare(a, b);
        return byKey != 0 ? byKey : Collation::CompareBytes(texts[a], texts[b]);
    });

    std::vector<std::string> sorted;
    sorted.reserve(texts.size());
    for (const std::uint32_t index : order)
        sorted.push_back(std::move(texts[index]));
    texts = std::move(sorted);
}

} // namespace quillon
