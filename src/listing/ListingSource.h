#pragma once

#include "listing/ListingEntry.h"
#include "scan/ReportType.h"
#include "scan/ScanLocation.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillon {

class RecordList;
class CrcCtrl;

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

/// Fills the kind, time and the detail columns of entry (whose path and size are set) from the
/// file on disk; a detail that cannot be read stays empty. A link is never followed.
void ReadEntryDetails(ListingEntry& entry, bool isFolder, const ListingColumns& columns,
                      CrcCtrl& crc);

/// The records of a scan (items 1 to the last), each read from disk as it is handed out, so
/// only one entry is held at a time.
class RecordListingSource : public ListingSource {
public:
    RecordListingSource(const RecordList& records, ListingHeader header);
    ~RecordListingSource() override;

    const ListingHeader& header() const override { return m_header; }
    bool next(ListingEntry& entry) override;
    bool readsDisk() const override { return true; }

private:
    const RecordList& m_records;
    ListingHeader m_header;
    std::size_t m_next = 1;
    std::unique_ptr<CrcCtrl> m_crc;
};

} // namespace quillon
