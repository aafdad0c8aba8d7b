#pragma once

#include "listing/ListingSource.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quillon {

/// One side of a difference: an entry with its path relative to its scan location.
struct CompareItem {
    std::string path; ///< relative to the location ("" for the location itself), or full
    EntryKind kind = EntryKind::File;
    std::int64_t size = 0;
    bool timeKnown = false;
    std::int64_t modified = 0;
    int utcOffset = 0;
    bool crcKnown = false;
    std::uint32_t crc = 0;
};

/// An entry found on one side only, changed between the sides, or moved.
struct Difference {
    CompareItem old; ///< side A (empty for an added entry)
    CompareItem now; ///< side B (empty for a removed entry)
    bool sizeChanged = false;
    bool timeChanged = false;
    bool crcChanged = false;
    bool kindChanged = false;
};

/// What a comparison found, section by section, each in record order.
struct CompareResult {
    QString labelA, labelB; ///< what was compared (folder or listing file)
    std::size_t entriesA = 0, entriesB = 0;
    std::vector<Difference> added, removed, changed, moved;

    bool same() const
    {
        return added.empty() && removed.empty() && changed.empty() && moved.empty();
    }
};

/// Compares two listings in one merge pass over both, which must be in the scan's record order
/// (a scan sorted under the same collation; each side's order is checked as it is read). Paths
/// are compared relative to the scan location when each side has one location, else whole.
/// Folders are compared only when both sides list them. A file is changed when its kind, size,
/// last change (to the second) or, when both sides have it, CRC32 differs. A removed and an
/// added file with the same size (not zero) and CRC32 are one file moved or renamed. Memory
/// grows with the largest folder and the number of differences, never with the whole listing.
/// False with *error set when a side cannot be read or is out of order.
bool CompareListings(ListingSource& a, ListingSource& b, CompareResult& result, QString* error,
                     const std::function<bool()>& yield = {});

/// True when the header says folders have records of their own (every report type but List
/// In Details).
bool ListsFolders(const ListingHeader& header);

} // namespace quillon
