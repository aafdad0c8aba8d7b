#pragma once

#include <cstddef>

namespace quillon {

class RecordList;

/// Told of each file record the walk appends, on the walk's thread, so that work on the files
/// can start while the walk goes on. The record at index is final by then, but the list still
/// grows and is sorted afterwards: index is good for the call only.
class FileSeen {
public:
    virtual ~FileSeen() = default;
    virtual void seen(const RecordList& records, std::size_t index) = 0;
    /// The walk is over: no file comes after. stopped: it was given up, and so is the work on
    /// its files.
    virtual void walked(bool stopped) { static_cast<void>(stopped); }
};

} // namespace quillon
