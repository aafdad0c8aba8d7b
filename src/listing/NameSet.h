#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

/// The names of the files of one folder, to find one given twice: their bytes stand in one
/// string and an open-addressed table holds their places, so a name costs no allocation of its
/// own, and clearing keeps the room for the next folder's names.
class NameSet {
public:
    void clear()
    {
        for (const Name& name : m_names)
            m_slots[name.slot] = 0;
        m_names.clear();
        m_bytes.clear();
    }
    /// False when the name is there already.
    bool insert(std::string_view name)
    {
        if (2 * (m_names.size() + 1) > m_slots.size())
            grow();
        const std::size_t hash = std::hash<std::string_view>()(name);
        std::size_t slot = find(name, hash);
        if (m_slots[slot] != 0)
            return false;
        m_slots[slot] = m_names.size() + 1;
        m_names.push_back({m_bytes.size(), name.size(), hash, slot});
        m_bytes.append(name);
        return true;
    }
    bool contains(std::string_view name) const
    {
        return !m_names.empty() && m_slots[find(name, std::hash<std::string_view>()(name))] != 0;
    }

private:
    struct Name {
        std::size_t at, length, hash, slot;
    };
    // The slot that holds name, else the free one where it would go.
    std::size_t find(std::string_view name, std::size_t hash) const
    {
        const std::size_t mask = m_slots.size() - 1;
        std::size_t slot = hash & mask;
        for (; m_slots[slot] != 0; slot = (slot + 1) & mask) {
            const Name& other = m_names[m_slots[slot] - 1];
            if (other.hash == hash &&
                std::string_view(m_bytes).substr(other.at, other.length) == name)
                break;
        }
        return slot;
    }
    // Twice the room, at most half of it taken; every name is placed again.
    void grow()
    {
        m_slots.assign(std::max<std::size_t>(64, 2 * m_slots.size()), 0);
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = 0; i < m_names.size(); ++i) {
            std::size_t slot = m_names[i].hash & mask;
            while (m_slots[slot] != 0)
                slot = (slot + 1) & mask;
            m_slots[slot] = i + 1;
            m_names[i].slot = slot;
        }
    }

    std::string m_bytes;
    std::vector<Name> m_names;
    std::vector<std::size_t> m_slots; ///< 1 + the index of a name; 0 for none
};

} // namespace quillon
