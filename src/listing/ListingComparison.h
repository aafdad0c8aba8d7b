#pragma once

#include "listing/ListingSource.h"

#include <QFile>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillon {

namespace detail {
class CompareSpill;
}

/// One side of a difference: an entry with its path relative to its scan location.
struct CompareItem {
    std::string path; ///< relative to the location ("" for the location itself), or full
    EntryKind kind = EntryKind::File;
    std::int64_t size = 0;
    bool sizeKnown = true; ///< false when the file's status could not be read
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

/// The sections of a comparison, in the order they are written.
enum class ChangeKind : std::uint8_t { Added, Removed, Changed, Moved };

/// Something one side holds that the comparison could not see: a folder that could not be
/// read, a file whose details or checksum could not be read. Named by its full path.
struct Unreadable {
    std::string path;
    QString what;   ///< "folder", "file" or "checksum"
    QString reason; ///< why, when known
};

/// What a source told it could not read of an entry (EntryUnreadable bits in what): its
/// checksum alone, or the file.
Unreadable UnreadableDetail(std::string path, const QString& reason, unsigned what);

/// The counts of a comparison, known before its sections are written.
struct CompareSummary {
    std::string labelA, labelB; ///< what was compared (folder or listing file), as bytes
    std::size_t entriesA = 0, entriesB = 0;
    std::size_t added = 0, removed = 0, changed = 0, moved = 0, unreadable = 0;
    bool files = true;   ///< files compared (false when a side lists folders only)
    bool folders = true; ///< folders compared (false when a side lists files only)

    bool same() const { return added + removed + changed + moved == 0; }
    bool complete() const { return unreadable == 0; }
};

/// Where a comparison is written, in this order: begin with the counts; what could not be read
/// (summary.unreadable calls); each section's start and its entries; end. A false return stops
/// the writing (the sink keeps its own reason).
class CompareSink {
public:
    virtual ~CompareSink() = default;
    virtual bool begin(const CompareSummary& summary) = 0;
    virtual bool unreadable(const Unreadable& item) = 0;
    virtual bool section(ChangeKind kind, std::size_t count) = 0;
    virtual bool difference(ChangeKind kind, const Difference& d) = 0;
    virtual bool end() = 0;
};

/// A comparison of two listings in one merge pass over both, which must be in the scan's
/// record order (a scan sorted under the same collation; each side's order is checked as it
/// is read). Paths are compared relative to the scan location when each side has one
/// location, else whole. Files are compared when both sides list files, folders when both
/// list folders. A file is changed when its kind, size, last change (to the second) or, when
/// both sides have it, CRC32 differs; a file and a folder at one path are a change of kind. A
/// removed and an added file with the same size (not zero) and CRC32 are one file moved or
/// renamed. The differences are kept in temporary files, not in memory, so memory grows with
/// the largest folder and the moved or retyped candidates, never with the listing or the
/// number of differences.
class ListingComparison {
public:
    ListingComparison(ListingSource& a, ListingSource& b, std::string labelA, std::string labelB);
    ~ListingComparison();
    ListingComparison(const ListingComparison&) = delete;
    ListingComparison& operator=(const ListingComparison&) = delete;

    /// Told at once of each thing a side could not read (also written with the result).
    std::function<void(const Unreadable&)> onUnreadable;

    /// Records something a side could not read: before the comparison runs (an unreadable
    /// folder of a scan) or while it runs (a detail a side's source could not read).
    void addUnreadable(Unreadable item);

    /// Names what could not be read under scanned (a path the scan reached a side by, such
    /// as /proc/self/fd/N for a folder whose name a QString cannot hold) by shown instead.
    void showPathAs(std::string scanned, std::string shown);

    /// The merge pass. False with *error set when a side cannot be read or is out of order,
    /// a temporary file cannot be written, or yield returned false.
    bool run(QString* error, const std::function<bool()>& yield = {});

    const CompareSummary& summary() const { return m_summary; }

    /// Writes the result found by run() to sink. False when the sink stopped or a temporary
    /// file could not be read back (*error set for the latter).
    bool write(CompareSink& sink, QString* error);

private:
    struct State;
    std::unique_ptr<State> m_state;
    ListingSource& m_a;
    ListingSource& m_b;
    CompareSummary m_summary;
    std::vector<Unreadable> m_pendingUnreadable;
    bool m_running = false;
    std::vector<std::pair<std::string, std::string>> m_shownPaths;
};

/// What a comparison found, held in memory (for small comparisons and tests).
struct CompareResult {
    std::string labelA, labelB;
    std::size_t entriesA = 0, entriesB = 0;
    bool files = true, folders = true;
    std::vector<Difference> added, removed, changed, moved;
    std::vector<Unreadable> unreadable;

    bool same() const
    {
        return added.empty() && removed.empty() && changed.empty() && moved.empty();
    }
    bool complete() const { return unreadable.empty(); }
};

/// Runs a comparison and keeps its result in memory.
bool CompareListings(ListingSource& a, ListingSource& b, CompareResult& result, QString* error,
                     const std::function<bool()>& yield = {});

/// Writes a result held in memory to a sink, as ListingComparison::write does.
bool WriteCompareResult(const CompareResult& result, CompareSink& sink);

/// True when the header says folders have records of their own (every report type but List
/// In Details).
bool ListsFolders(const ListingHeader& header);
/// True when the header says files have records (every report type but Folder list).
bool ListsFiles(const ListingHeader& header);

/// Opens a listing file for reading: a regular file (a link to one is followed), opened
/// without waiting, so a FIFO, device or socket is refused at once instead of blocking. path
/// is the name's bytes. False with *error set (naming path) when it is not one or cannot be
/// opened.
bool OpenListingFile(const QByteArray& path, QFile& file, QString* error);

/// A listing's entries read once from another source and kept in a temporary file, so the
/// other source (a scan's record list) can be let go before the second side is scanned.
class SpilledListingSource : public ListingSource {
public:
    /// Reads every entry of source now; error() tells when that failed.
    explicit SpilledListingSource(ListingSource& source, const std::function<bool()>& yield = {});
    ~SpilledListingSource() override;

    const ListingHeader& header() const override { return m_header; }
    bool next(ListingEntry& entry) override;
    QString error() const override { return m_error; }
    bool readsDisk() const override { return m_readsDisk; }

private:
    ListingHeader m_header;
    std::unique_ptr<detail::CompareSpill> m_spill;
    std::size_t m_read = 0;
    QString m_error;
    bool m_readsDisk = false;
};

} // namespace quillon
