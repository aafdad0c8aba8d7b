#include "report/FolderSortList.h"

#include "scan/SortStrings.h"

#include <numeric>

namespace quillon {

const std::vector<DetailsSortKey>& FolderSortList::sorted()
{
    if (m_keys.size() < 2)
        return m_keys;
    m_texts.clear();
    for (const DetailsSortKey& key : m_keys) {
        AssignDetailsKeyText(m_text, key, m_sortBy);
        m_texts.add(m_text);
    }
    const auto compare = [this](std::uint32_t a, std::uint32_t b) {
        const int order = m_texts.compare(a, b);
        if (order != 0)
            return order;
        // Keys that collate equal stay in record order (by bytes, as the record sort left
        // them) whichever the direction, as the sort keeps equal items in their order.
        const int bytes = Collation::CompareBytes(m_keys[a].name, m_keys[b].name);
        return m_ascending ? bytes : -bytes;
    };
    // By name the record sort has mostly left the keys in order already: where each comes
    // strictly before the next, that is the only order the sort could give.
    const int before = m_ascending ? -1 : 1;
    bool inOrder = true;
    for (std::uint32_t i = 1; inOrder && i < m_keys.size(); ++i)
        inOrder = compare(i - 1, i) == before;
    if (inOrder)
        return m_keys;
    m_order.resize(m_keys.size());
    std::iota(m_order.begin(), m_order.end(), 0u);
    SortStrings(m_order, m_ascending, compare);
    m_sorted.clear();
    for (const std::uint32_t index : m_order)
        m_sorted.push_back(std::move(m_keys[index]));
    m_keys.swap(m_sorted);
    return m_keys;
}

} // namespace quillon
