#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct stat;

namespace quillon {

/// A folder met by the walk, kept as its parent and its own name so that the folders of a
/// tree take memory in proportion to their names, not to their depth; a path is built only
/// where a line needs one. Every record of the folder points at the one node.
struct FolderNode {
    const FolderNode* parent = nullptr; ///< enclosing folder of the same walk; null for a location
    std::string name;           ///< the folder's name; for a location its whole path ending in "/"
    std::size_t pathLength = 0; ///< bytes of the full path, "/" at its end included
    int readError = 0;          ///< errno when the folder could not be read (fully); else 0
    std::uint32_t index = 0;    ///< the folder's place in the order folders were met
    /// Size and number of the files listed in the folder and everything below it; filled by
    /// RecordList::computeFolderTotals (0 until then).
    std::int64_t totalSize = 0;
    std::uint64_t totalFiles = 0;

    /// The full path ending in "/", as the walker reached the folder.
    std::string path() const;
    /// Appends the full path ending in "/" to out.
    void appendPath(std::string& out) const;
};

/// True when both nodes stand for the same path (two locations may reach one folder). Costs
/// no more than the common end of the two paths, so neighbouring folders compare cheaply.
bool SamePath(const FolderNode* a, const FolderNode* b);

enum class RecordKind : std::uint8_t {
    Empty,  ///< item 0 of the list: holds nothing
    Folder, ///< a folder's own record
    File,   ///< a file taken by the walk
};

/// One item of a scan's record list: folder, file name and size kept as separate fields,
/// never as joined text that would have to be split again.
struct ScanRecord {
    const FolderNode* folder = nullptr;
    std::string name; ///< file name as the file system lists it (bytes); empty for a folder record
    std::int64_t size = 0; ///< bytes; 0 for a folder record
    /// Last change (seconds since the epoch) of a file as the walk read its status, without
    /// following a link; valid when statKnown.
    std::int64_t modified = 0;
    RecordKind kind = RecordKind::Empty;
    bool statKnown = false; ///< the walk read the file's status: modified and link hold it
    bool link = false;      ///< a symbolic link (when statKnown)
    /// Another link of the same inode came first and hard links count once: the file keeps its
    /// line and its size, but adds nothing to sums and totals.
    bool repeatLink = false;
    /// errno when the walk could not read the file's status although the file is there (not
    /// ENOENT, e.g. EACCES in a folder that can be listed but not entered): the file keeps its
    /// record with size 0 and its values unknown.
    int statError = 0;

    bool isFile() const { return kind == RecordKind::File; }
    bool isFolder() const { return kind == RecordKind::Folder; }
    /// The folder's path and the name: a file's whole path; a folder record's ends in "/".
    std::string fullPath() const;
};

/// The record list of one scan: item 0 is always the empty record, items 1..lastIndex() are
/// what the walk appended (in sorted order once the scan run has sorted them).
class RecordList {
public:
    RecordList();

    /// Starts anew with only the empty item 0.
    void clear();

    /// Registers a folder; the returned node stays valid until clear(). name is the folder's
    /// own name under parent, or a location's whole path ending in "/" when parent is null.
    /// readError is the errno that kept the walk from reading the folder (0 when it was read).
    const FolderNode* addFolder(const FolderNode* parent, std::string name, int readError = 0);
    void appendFolderRecord(const FolderNode* folder);
    void appendFile(const FolderNode* folder, std::string name, std::int64_t size);
    /// A file with the status the walk read (statError 0), or the errno that kept it.
    void appendFile(const FolderNode* folder, std::string name, const struct stat& st);
    void appendUnreadableFile(const FolderNode* folder, std::string name, int statError);

    /// Fills every folder's totalSize and totalFiles from the file records: one pass over the
    /// records, one over the folders from the deepest made back to the locations.
    void computeFolderTotals();

    /// Reorders the sorted records so that under each folder its sub-folders (each with
    /// everything below it) follow in the order of their totals, largest first when
    /// descending; a folder's own records and the locations keep their order. Needs the
    /// totals; O(records + folders log folders). yield is called now and then.
    void sortFoldersByTotal(bool descending, const std::function<void()>& yield);

    /// Highest index (N); 0 when the walk appended nothing.
    std::size_t lastIndex() const { return m_records.size() - 1; }
    std::size_t folderCount() const { return m_folders.size(); }
    const ScanRecord& operator[](std::size_t index) const { return m_records[index]; }

    /// All items, item 0 included, for the sort.
    std::vector<ScanRecord>& items() { return m_records; }
    const std::vector<ScanRecord>& items() const { return m_records; }

private:
    std::deque<FolderNode> m_folders;
    std::vector<ScanRecord> m_records;
};

/// A record as one text, "folder|name|size": 39 "$" and 17 zeros for a folder's own record, 15
/// zero-padded digits for a file. For tests and diagnostics only: one line to compare or print.
std::string RecordText(const ScanRecord& record);

} // namespace quillon
