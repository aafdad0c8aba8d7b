#pragma once

#include "report/DetailsSortKey.h"
#include "scan/Collation.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

/// The current folder's sort keys, sorted by the collation of their key texts (CollationTexts:
/// ASCII texts by their weights, others by a sort key made once per folder). The keys of one folder
/// share its path, which therefore decides nothing: it is left out of the texts, so a file's cost
/// does not grow with its folder's depth. Only a collation that compares accents from the end of
/// the text could see the shared part, and keeps it.
class FolderSortList {
public:
    FolderSortList(DetailsSortBy sortBy, bool ascending)
        : m_sortBy(sortBy), m_ascending(ascending), m_texts(m_collation),
          m_keepFolder(m_collation.comparesAccentsBackwards())
    {}

    void clear() { m_keys.clear(); }
    bool keepsFolder() const { return m_keepFolder; }
    void add(DetailsSortKey key) { m_keys.push_back(std::move(key)); }

    /// The keys in the user's order; names that collate equal keep their order by bytes in
    /// either direction.
    const std::vector<DetailsSortKey>& sorted();

private:
    DetailsSortBy m_sortBy;
    bool m_ascending;
    Collation m_collation;
    CollationTexts m_texts;
    bool m_keepFolder;
    std::vector<DetailsSortKey> m_keys;
    std::vector<DetailsSortKey> m_sorted;
    std::vector<std::uint32_t> m_order;
    std::string m_text;
};

} // namespace quillon
