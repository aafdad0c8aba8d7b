#pragma once

#include "details/FileDetails.h"
#include "listing/ListingEntry.h"
#include "report/ReportType.h"
#include "scan/ScanLocation.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillon {

class RecordList;
struct FolderNode;
struct ScanRecord;

/// What a listing says about the scan that made it: the job's locations, the exclusions and
/// the detail columns that shape its entries, and when the scan ran.
struct ListingHeader {
    ScanLocationList locations;
    QStringList excludedNames;
    QStringList excludedFolders;
    QStringList excludedExtensions;
    QString reportType;
    ListingColumns columns;
    std::int64_t scanned = 0; ///< seconds since 1970 UTC
    int utcOffset = 0;
    bool folderTotals = false; ///< entries may carry totalSize and fileCount (CSV: 2 columns)
    bool allocated = false;    ///< entries may carry allocated (CSV: a column)
    const struct ScanSummary* summary = nullptr; ///< JSON: a "summary" before the entries
};

struct ExclusionList;
struct ReportSettings;

/// "List In Details", "Tree view", "Tree view with file size", "Folder list" (empty for None).
QString ReportTypeName(ReportType type);

/// The header of a scan's listing made now.
ListingHeader MakeListingHeader(const ScanLocationList& locations, ReportType type,
                                const ReportSettings& settings, const ExclusionList& exclusions);

/// Entries one at a time, in the scan's record order.
class ListingSource {
public:
    virtual ~ListingSource() = default;
    virtual const ListingHeader& header() const = 0;
    /// The next entry; false at the end or on an error (then error() is not empty).
    virtual bool next(ListingEntry& entry) = 0;
    virtual QString error() const { return {}; }
    /// True when each entry is read from disk as it is handed out: a detail the header's
    /// columns ask for that an entry lacks could not be read then. A saved listing cannot tell.
    virtual bool readsDisk() const { return false; }
};

/// The local UTC offset, in seconds east, at the given time.
int LocalUtcOffset(std::int64_t seconds);

/// The records of a scan (items 1 to the last), each handed out with its details as it is
/// asked for, so only one entry is held at a time. A file's kind, size and time are those the
/// walk read; only detail columns make it look at the file again, through the one reader of
/// file details, relative to an open folder (so at any depth) and never following a link. A
/// file gone since the walk is left out; anything else that cannot be read keeps its entry
/// with that value unknown (ListingEntry::unreadable) and is told to the unreadable hook.
class RecordListingSource : public ListingSource {
public:
    /// Told the path and the reason of each entry with something that could not be read, and
    /// what that was (EntryUnreadable bits).
    using UnreadableHook =
        std::function<void(const std::string& path, const QString& reason, unsigned what)>;

    RecordListingSource(const RecordList& records, ListingHeader header);
    ~RecordListingSource() override;

    const ListingHeader& header() const override { return m_header; }
    bool next(ListingEntry& entry) override;
    /// Asked between two blocks of a checksum being read: true stops reading that file (its
    /// checksum stays unknown), so that Ctrl+C need not wait for a huge file. Asked before
    /// each entry too: true ends the entries there, with error() "stopped".
    void setInterrupt(std::function<bool()> interrupt);
    QString error() const override { return m_error; }
    bool readsDisk() const override { return true; }

    void setUnreadableHook(UnreadableHook hook) { m_unreadableHook = std::move(hook); }
    /// folderTotals: folder entries carry the totals the scan filled. sizeOnDisk: file
    /// entries carry their allocated size beside the apparent one (their status is read again,
    /// as the walk kept only the allocated one).
    /// includeHidden: hidden files were listed, so they get checksum and tag like any other.
    void setSizeChoices(bool folderTotals, bool sizeOnDisk, bool includeHidden = false)
    {
        m_folderTotals = folderTotals;
        m_sizeOnDisk = sizeOnDisk;
        m_header.folderTotals = folderTotals;
        m_header.allocated = sizeOnDisk;
        m_choice.hiddenLikeAny = includeHidden;
    }
    /// Starts again at item 1, for a list that was emptied and filled anew (a walk that
    /// hands its records out folder by folder).
    void rewind() { m_next = 1; }
    /// Entries handed out so far with something that could not be read.
    std::size_t unreadableCount() const { return m_unreadableCount; }

private:
    FileAt locate(const ScanRecord& record, const std::string& path);
    bool readEntry(const ScanRecord& record, ListingEntry& entry);
    /// Copies what the detail reader gave into the entry's listed columns.
    void copyDetails(ListingEntry& entry) const;
    void tell(const std::string& path, int error, unsigned details);

    const RecordList& m_records;
    ListingHeader m_header;
    std::size_t m_next = 1;
    DetailChoice m_choice;
    bool m_folderTotals = false;
    bool m_sizeOnDisk = false;
    std::unique_ptr<FileDetailReader> m_reader;
    FileDetails m_details;
    FolderCursor m_folders;
    const FolderNode* m_cursorNode = nullptr; ///< the folder m_folders stands in
    std::string m_scratch;
    UnreadableHook m_unreadableHook;
    std::size_t m_unreadableCount = 0;
    bool m_told = false; ///< the current entry was told already
    std::function<bool()> m_interrupt;
    QString m_error;
};

} // namespace quillon
