#include "listing/ListingSource.h"

#include "platform/PathRules.h"
#include "report/ReportSettings.h"
#include "scan/ExclusionList.h"
#include "scan/ScanRecord.h"

#include <cerrno>
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

RecordListingSource::RecordListingSource(const RecordList& records, ListingHeader header)
    : m_records(records), m_header(std::move(header)),
      m_reader(std::make_unique<FileDetailReader>())
{
    m_choice = DetailChoiceOf(m_header.columns);
}

RecordListingSource::~RecordListingSource() = default;

// The reader's bits are copied into the entry as they are.
static_assert(unsigned(kUnreadableVersion) == unsigned(kVersionDetail) &&
              unsigned(kUnreadableTag) == unsigned(kTagDetail) &&
              unsigned(kUnreadableCrc) == unsigned(kCrcDetail));

FileAt RecordListingSource::locate(const ScanRecord& record, const std::string& path)
{
    // A file is named in its folder, a folder in its parent; a location by its whole path.
    const FolderNode* holder = record.isFile() ? record.folder : record.folder->parent;
    if (!holder)
        return FileAt::Path(path);
    if (holder != m_cursorNode) {
        m_scratch.clear();
        holder->appendPath(m_scratch);
        m_folders.moveTo(m_scratch);
        m_cursorNode = holder;
    }
    m_scratch.assign(record.isFile() ? std::string_view(record.name)
                                     : std::string_view(record.folder->name));
    return m_folders.at(m_scratch, path);
}

void RecordListingSource::tell(const std::string& path, int error, unsigned details)
{
    if (!m_told)
        ++m_unreadableCount;
    m_told = true;
    if (m_unreadableHook)
        m_unreadableHook(path, QString::fromLocal8Bit(UnreadableReason(error, details).c_str()),
                         details == 0 ? unsigned(kUnreadableStatus) : details);
}

bool RecordListingSource::readEntry(const ScanRecord& record, ListingEntry& entry)
{
    const bool isFolder = record.isFolder();
    entry.kind = isFolder ? EntryKind::Folder : EntryKind::File;
    entry.timeKnown = false;
    entry.modified = 0;
    entry.utcOffset = 0;
    entry.unreadable = 0;
    for (const DetailColumnRow& row : kDetailColumns)
        if (std::string* text = entry.detail(row.column))
            text->clear();
    entry.crcKnown = false;
    entry.crc = 0;
    m_told = false;

    int statError = record.isFile() ? record.statError : 0;
    if (statError != 0) {
        entry.unreadable = kUnreadableStatus;
        tell(entry.path, statError, 0);
        return true;
    }
    // What the walk read is enough unless a detail column asks the file itself.
    struct stat st {};
    const bool fromWalk = record.isFile() && record.statKnown && !m_choice.any() && !m_sizeOnDisk;
    const FileAt file = fromWalk ? FileAt() : locate(record, entry.path);
    if (fromWalk) {
        st.st_mtime = static_cast<time_t>(record.modified);
        st.st_mode = record.link ? S_IFLNK : S_IFREG;
    } else if ((statError = ReadStatus(file, st)) != 0) {
        if (statError == ENOENT)
            return false; // gone since the walk, as a report line would be
        entry.unreadable = kUnreadableStatus;
        tell(entry.path, statError, 0);
        return true;
    }
    if (!isFolder && S_ISLNK(st.st_mode))
        entry.kind = EntryKind::Link;
    if (!isFolder && m_sizeOnDisk) {
        entry.size = static_cast<std::int64_t>(st.st_size);
        entry.allocated = static_cast<std::int64_t>(st.st_blocks) * 512;
        entry.allocatedKnown = true;
    }
    entry.timeKnown = true;
    entry.modified = static_cast<std::int64_t>(st.st_mtime);
    entry.utcOffset = LocalUtcOffset(entry.modified);
    if (fromWalk || !m_choice.any())
        return true;

    m_reader->Read(file, st, m_choice, entry.path, m_details,
                   [&](unsigned details, int error) { tell(entry.path, error, details); });
    copyDetails(entry);
    return true;
}

void RecordListingSource::copyDetails(ListingEntry& entry) const
{
    entry.unreadable = m_details.unreadable;
    entry.crcKnown = m_details.crcState == CrcState::Known;
    entry.crc = m_details.crc;
    for (const DetailColumnRow& row : kDetailColumns) {
        std::string* text = entry.detail(row.column);
        if (!text || !row.listingKey || !m_header.columns[row.column] ||
            (row.tagField && !m_details.tag.found))
            continue;
        // Listings hold values without the report's padding: attribute letters alone, tag
        // fields without their trailing blanks.
        if (row.column == DetailColumn::Attribute) {
            text->assign(DetailText(row, m_details));
            std::erase(*text, ' ');
        } else {
            *text = row.tagField ? TrimmedEnd(DetailText(row, m_details))
                                 : std::string(DetailText(row, m_details));
        }
    }
}

void RecordListingSource::setInterrupt(std::function<bool()> interrupt)
{
    m_interrupt = interrupt;
    m_reader->crc().SetInterrupt(std::move(interrupt));
}

bool RecordListingSource::next(ListingEntry& entry)
{
    while (m_next <= m_records.lastIndex()) {
        // A checksum begun after the interrupt would still read its first block: over a
        // thousand large files between two looks of the caller, a second or more.
        if (m_interrupt && m_interrupt()) {
            m_error = QStringLiteral("stopped");
            return false;
        }
        const ScanRecord& record = m_records[m_next++];
        if (!record.folder || (!record.isFile() && !record.isFolder()))
            continue;
        // A folder list walks its files only for the folders' totals: it lists none.
        if (record.isFile() && m_folderTotals &&
            m_header.reportType == QLatin1String("Folder list"))
            continue;
        entry.path.clear();
        record.folder->appendPath(entry.path);
        if (record.isFile())
            entry.path.append(record.name);
        else
            entry.path.resize(WithoutTrailingSlash(entry.path).size());
        entry.size = record.isFile() ? record.size : 0;
        entry.totalsKnown = m_folderTotals && record.isFolder();
        entry.totalSize = record.folder->totalSize;
        entry.fileCount = record.folder->totalFiles;
        entry.allocatedKnown = false;
        if (readEntry(record, entry))
            return true;
    }
    return false;
}

} // namespace quillon
