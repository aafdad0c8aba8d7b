#pragma once

namespace quillon {

/// Program-wide choices of what a walk takes, from the report settings; all off by default.
struct ScanOptions {
    bool includeHidden = false; ///< files whose names begin with "." are taken
    bool oneFileSystem = false; ///< folders on another device than their location's are not read
    bool folderTotals = false;  ///< fill each folder's totals after the sort
    bool sortFoldersByTotal = false; ///< then order each level's folders by their totals
    bool totalsDescending = false;   ///< largest total first (the job's sort direction)
    bool countHardLinksOnce = false; ///< later links of a multiply-linked inode add nothing
    bool sizeOnDisk = false;         ///< a file's size is its allocated blocks
    /// Threads that read folders: 0 picks by the location's disk, 1 reads on one (Walker).
    int threads = 0;
};

} // namespace quillon
