#pragma once

#include "details/FileDetails.h"
#include "listing/ListingSource.h"
#include "listing/ListingWriter.h"
#include "report/LayoutContext.h"
#include "report/ReportSettings.h"
#include "report/ReportType.h"
#include "scan/ScanLocation.h"
#include "scan/ScanRecord.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quillon {

/// The record list of a scan rebuilt from one or more saved listings, so that the unchanged
/// layouts lay a report out of it: folders become folder nodes and records, files become file
/// records in the listing's order (the scan's record order), and the details the report shows
/// are kept beside them, packed, for the layout to ask by record index. Several listings follow
/// one another, each with its own locations, as the locations of one job would.
///
/// Only what the report settings show is kept: with no detail column on, nothing but the
/// records and their folders, as a scan holds.
class ListingRecords {
public:
    /// Told each entry a listing marks as not read when it was made: its path and what was
    /// not read ("status", "checksum", "version", "ID3 tag", joined by ", ").
    using UnreadHook = std::function<void(const std::string& path, const QString& what)>;

    explicit ListingRecords(const ReportSettings& settings);

    /// Appends every entry of source, named name in messages. keepGoing is asked before each
    /// entry; false stops with error() "stopped". False with error() when the listing cannot be
    /// read to its end.
    bool add(ListingSource& source, const QString& name,
             const std::function<bool()>& keepGoing = {});
    void setUnreadHook(UnreadHook hook) { m_unreadHook = std::move(hook); }
    /// Room for about this many entries before the first add, so the record list is not
    /// copied as it grows (a copy holds both lists at once); untouched room costs no memory.
    void reserve(std::size_t entries) { m_records.items().reserve(entries + 1); }

    /// Fills the folders' totals from the files where a listing did not carry them. Call once
    /// after the last add.
    void finish();

    const RecordList& records() const { return m_records; }
    /// Every listing's locations, in order: the tree levels.
    const ScanLocationList& locations() const { return m_locations; }
    /// The report type of the first listing (List In Details when it names none).
    ReportType reportType() const
    {
        return m_type == ReportType::None ? ReportType::ListInDetails : m_type;
    }
    QString error() const { return m_error; }

    /// The details of file record k as a report line reads them from the file.
    void details(std::size_t k, FileDetails& out) const;

    /// What the listings lack that a report of type needs with the settings, one line each
    /// ("NAME: ..."), to be told once.
    QStringList lacks(ReportType type) const;

private:
    struct Source {
        QString name;
        ListingColumns columns;
        bool folders = false;  ///< it has folder entries
        bool files = false;    ///< it has file entries
        bool totals = false;   ///< every folder entry carried totals
        bool allocated = true; ///< every file entry carried its allocated size
        std::size_t links = 0; ///< symbolic links among its files
    };

    const FolderNode* nodeFor(std::string_view folderPath);
    void keepDetails(const ListingEntry& entry, const ListingColumns& columns);
    void addFolder(const ListingEntry& entry, const FolderNode* node, Source& seen);
    void addFile(const ListingEntry& entry, const FolderNode* folder, Source& seen,
                 const ListingColumns* detailColumns);

    ReportSettings m_settings;
    ListingColumns m_shown; ///< the detail columns the report shows
    RecordList m_records;
    ScanLocationList m_locations;
    ReportType m_type = ReportType::None;
    std::vector<Source> m_sources;
    QString m_error;
    UnreadHook m_unreadHook;
    /// The chain of folders the last entry lay in: node and length of its path ending in "/".
    std::vector<std::pair<const FolderNode*, std::size_t>> m_chain;
    std::string m_chainPath;
    std::string m_want;
    /// The shown details, packed per file record; m_at[k] is where record k's begin.
    std::string m_packed;
    std::vector<std::uint64_t> m_at;
};

/// Lays the records out into stagingPath as a scan's layout step does (LayOutScan), with the
/// listings' locations as the tree levels and their details in place of the files'.
bool LayOutListingRecords(ReportType type, const ListingRecords& records, ScanCounters& counters,
                          bool* cancel, const ReportChoices& choices, const QString& stagingPath);

/// Writes the entries of every source, one listing after the other, as one listing in format:
/// the locations of all, the union of their exclusions, the detail columns all of them carry
/// (each column left out is told to dropped) and the earliest scan time. Refused with *error:
/// listings of different report types, and an entry of one listing that the same folder of
/// the one before already holds (a reader would refuse it as given twice). progress as for
/// WriteListing.
bool MergeListings(const std::vector<ListingSource*>& sources, const QStringList& names,
                   ListingFormat format, QIODevice& out, QString* error,
                   const std::function<void(const QString&)>& dropped = {},
                   const std::function<bool(std::size_t)>& progress = {});

/// The report type of a listing header's name ("Tree view"...); None for any other text.
ReportType ReportTypeOfName(const QString& name);

} // namespace quillon
