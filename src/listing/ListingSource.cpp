#include "listing/ListingSource.h"

#include "details/CrcCtrl.h"
#include "details/FileAttributes.h"
#include "details/FileOwner.h"
#include "details/FileVersion.h"
#include "details/Mp3Tag.h"
#include "platform/CommandError.h"
#include "platform/PathRules.h"
#include "report/ReportSettings.h"
#include "scan/ExclusionList.h"
#include "scan/ScanRecord.h"

#include <ctime>
#include <sys/stat.h>

namespace quillon {

namespace {

std::string TrimmedEnd(std::string_view text)
{
    const std::size_t end = text.find_last_not_of(' ');
    return std::string(end == std::string_view::npos ? std::string_view()
                                                     : text.substr(0, end + 1));
}

} // namespace

QString ReportTypeName(ReportType type)
{
    switch (type) {
    case ReportType::ListInDetails:
        return QStringLiteral("List In Details");
    case ReportType::TreeView:
        return QStringLiteral("Tree view");
    case ReportType::TreeViewWithSize:
        return QStringLiteral("Tree view with file size");
    case ReportType::FolderList:
        return QStringLiteral("Folder list");
    case ReportType::None:
        break;
    }
    return {};
}

ListingHeader MakeListingHeader(const ScanLocationList& locations, ReportType type,
                                const ReportSettings& settings, const ExclusionList& exclusions)
{
    ListingHeader header;
    header.locations = locations;
    header.reportType = ReportTypeName(type);
    header.columns = ListingColumnsOf(settings);
    header.excludedNames = exclusions.fileNames;
    header.excludedFolders = exclusions.folders;
    header.excludedExtensions = exclusions.extensions;
    header.scanned = static_cast<std::int64_t>(std::time(nullptr));
    header.utcOffset = LocalUtcOffset(header.scanned);
    return header;
}

int LocalUtcOffset(std::int64_t seconds)
{
    const auto t = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (!::localtime_r(&t, &local))
        return 0;
    return static_cast<int>(local.tm_gmtoff);
}

void ReadEntryDetails(ListingEntry& entry, bool isFolder, const ListingColumns& columns,
                      CrcCtrl& crc)
{
    struct stat st {};
    const bool known = ::lstat(entry.path.c_str(), &st) == 0;
    entry.kind = isFolder                       ? EntryKind::Folder
                 : known && S_ISLNK(st.st_mode) ? EntryKind::Link
                                                : EntryKind::File;
    entry.timeKnown = known;
    entry.modified = known ? static_cast<std::int64_t>(st.st_mtime) : 0;
    entry.utcOffset = known ? LocalUtcOffset(entry.modified) : 0;

    entry.attributes.clear();
    entry.version.clear();
    entry.owner.clear();
    entry.crcKnown = false;
    entry.crc = 0;
    for (std::string* tagField :
         {&entry.title, &entry.artist, &entry.album, &entry.year, &entry.genre, &entry.comment})
        tagField->clear();
    if (!known)
        return;

    if (columns.attributes) {
        std::string letters = AttributeLetters(entry.path);
        std::erase(letters, ' ');
        entry.attributes = std::move(letters);
    }
    if (columns.owner)
        entry.owner = FileOwnerName(entry.path);
    if (isFolder || !S_ISREG(st.st_mode))
        return;
    if (columns.version)
        entry.version = FileVersionText(entry.path);
    if (columns.crc32) {
        try {
            // Only a whole read gives a checksum: a stopped or skipped one holds none.
            if (crc.ComputeFile(entry.path) == CrcCtrl::Outcome::Done) {
                entry.crc = crc.Value();
                entry.crcKnown = true;
            }
        } catch (const CommandError&) {
            // Unreadable content: the checksum stays unknown, the entry is still listed.
        }
    }
    if (columns.anyTag()) {
        const Mp3Tag tag = ReadMp3Tag(entry.path);
        if (tag.found) {
            entry.title = TrimmedEnd(tag.title);
            entry.artist = TrimmedEnd(tag.artist);
            entry.album = TrimmedEnd(tag.album);
            entry.year = TrimmedEnd(tag.year);
            entry.genre = tag.genreName;
            entry.comment = TrimmedEnd(tag.comment);
        }
    }
}

RecordListingSource::RecordListingSource(const RecordList& records, ListingHeader header)
    : m_records(records), m_header(std::move(header)), m_crc(std::make_unique<CrcCtrl>())
{}

RecordListingSource::~RecordListingSource() = default;

void RecordListingSource::setInterrupt(std::function<bool()> interrupt)
{
    m_crc->SetInterrupt(std::move(interrupt));
}

bool RecordListingSource::next(ListingEntry& entry)
{
    while (m_next <= m_records.lastIndex()) {
        const ScanRecord& record = m_records[m_next++];
        if (!record.folder || (!record.isFile() && !record.isFolder()))
            continue;
        entry.path.clear();
        record.folder->appendPath(entry.path);
        if (record.isFile())
            entry.path.append(record.name);
        else
            entry.path.resize(WithoutTrailingSlash(entry.path).size());
        entry.size = record.isFile() ? record.size : 0;
        ReadEntryDetails(entry, record.isFolder(), m_header.columns, *m_crc);
        return true;
    }
    return false;
}

} // namespace quillon
