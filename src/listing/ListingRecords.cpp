#include "listing/ListingRecords.h"
#include "listing/NameSet.h"

#include "platform/PathRules.h"
#include "platform/Utf8.h"
#include "report/Layouts.h"

#include <algorithm>
#include <cerrno>
#include <limits>

namespace quillon {

namespace {

// Folders a listing may hold beyond four per entry (those of a List In Details listing have no
// entries of their own): a tree 2,000 levels deep, many times over.
constexpr std::size_t kSpareFolders = std::size_t(1) << 20;

// A time a listing could not give: no local time has its year, so the line leaves it blank.
constexpr std::int64_t kNoTime = std::numeric_limits<std::int64_t>::min();

void PutNumber(std::string& out, std::uint64_t value)
{
    while (value >= 0x80) {
        out.push_back(static_cast<char>(0x80 | (value & 0x7f)));
        value >>= 7;
    }
    out.push_back(static_cast<char>(value));
}

std::uint64_t TakeNumber(const std::string& in, std::size_t& at)
{
    std::uint64_t value = 0;
    for (int shift = 0; at < in.size(); shift += 7) {
        const auto byte = static_cast<unsigned char>(in[at++]);
        value |= static_cast<std::uint64_t>(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            break;
    }
    return value;
}

// The report's text columns are packed in the table's order, each that a listing has and shows.
bool PackedText(const DetailColumnRow& row, const ListingColumns& shown)
{
    return row.listingKey && ListingEntry::HasText(row) && shown[row.column];
}

// A listing cuts trailing blanks and padding; a report line shows the field as read.
void PadTo(std::string& text, std::size_t width)
{
    const std::size_t length = Utf8Length(text);
    if (length < width)
        text.append(width - length, ' ');
}

QString UnreadWhat(unsigned unreadable)
{
    if (unreadable & kUnreadableStatus)
        return QStringLiteral("status");
    QStringList what;
    if (unreadable & kUnreadableVersion)
        what += QStringLiteral("version");
    if (unreadable & kUnreadableTag)
        what += QStringLiteral("ID3 tag");
    if (unreadable & kUnreadableCrc)
        what += QStringLiteral("checksum");
    return what.join(QStringLiteral(", "));
}

} // namespace

ReportType ReportTypeOfName(const QString& name)
{
    for (const ReportType type : {ReportType::ListInDetails, ReportType::TreeView,
                                  ReportType::TreeViewWithSize, ReportType::FolderList})
        if (name == ReportTypeName(type))
            return type;
    return ReportType::None;
}

ListingRecords::ListingRecords(const ReportSettings& settings)
    : m_settings(settings), m_shown(ListingColumnsOf(settings))
{}

const FolderNode* ListingRecords::nodeFor(std::string_view folderPath)
{
    // Most entries lie in the folder of the one before: no copy of the path for them.
    const std::string_view last = m_chainPath;
    if (!m_chain.empty() && last.size() == m_chain.back().second &&
        (last == folderPath || (last.size() == folderPath.size() + 1 && last.back() == '/' &&
                                last.starts_with(folderPath))))
        return m_chain.back().first;
    m_want.assign(folderPath);
    if (m_want.empty() || m_want.back() != '/')
        m_want.push_back('/');
    // Leave the folders the path is not in; the rest of it is new sub-folders of the last one
    // kept, or a new location when none is kept.
    while (!m_chain.empty() &&
           (m_want.size() < m_chain.back().second ||
            m_want.compare(0, m_chain.back().second, m_chainPath, 0, m_chain.back().second) != 0))
        m_chain.pop_back();
    // Each new component is a folder node: a hostile listing of deep paths that differ near
    // their start would make tens of bytes of memory of each byte it holds.
    if (m_records.folderCount() > 4 * m_records.lastIndex() + kSpareFolders)
        return nullptr;
    if (m_chain.empty()) {
        m_chainPath = m_want;
        m_chain.emplace_back(m_records.addFolder(nullptr, m_want), m_want.size());
        return m_chain.back().first;
    }
    m_chainPath.resize(m_chain.back().second);
    std::size_t from = m_chainPath.size();
    while (from < m_want.size()) {
        const std::size_t slash = m_want.find('/', from);
        m_chain.emplace_back(
            m_records.addFolder(m_chain.back().first, m_want.substr(from, slash - from)),
            slash + 1);
        from = slash + 1;
    }
    m_chainPath = m_want;
    return m_chain.back().first;
}

void ListingRecords::keepDetails(const ListingEntry& entry, const ListingColumns& columns)
{
    const std::size_t k = m_records.lastIndex();
    if (m_at.size() <= k)
        m_at.resize(k + 1, std::numeric_limits<std::uint64_t>::max());
    m_at[k] = m_packed.size();
    for (const DetailColumnRow& row : kDetailColumns) {
        if (!PackedText(row, m_shown))
            continue;
        const std::string& text = *entry.detail(row.column);
        const std::size_t length = columns[row.column] ? text.size() : 0;
        PutNumber(m_packed, length);
        m_packed.append(text, 0, length);
    }
    if (m_shown[DetailColumn::CRC32]) {
        const bool unread = (entry.unreadable & kUnreadableCrc) != 0;
        const bool known = columns[DetailColumn::CRC32] && entry.crcKnown && !unread;
        m_packed.push_back(static_cast<char>(unread  ? CrcState::Unreadable
                                             : known ? CrcState::Known
                                                     : CrcState::None));
        if (known)
            PutNumber(m_packed, entry.crc);
    }
}

void ListingRecords::details(std::size_t k, FileDetails& out) const
{
    out = FileDetails();
    if (k >= m_at.size() || m_at[k] == std::numeric_limits<std::uint64_t>::max())
        return;
    std::size_t at = m_at[k];
    for (const DetailColumnRow& row : kDetailColumns) {
        std::string* const field = DetailField(row, out);
        if (PackedText(row, m_shown)) {
            const std::size_t length = TakeNumber(m_packed, at);
            field->assign(m_packed, at, length);
            at += length;
        }
        if (field)
            PadTo(*field, row.readWidth);
    }
    if (m_shown[DetailColumn::CRC32]) {
        out.crcState = static_cast<CrcState>(m_packed[at++]);
        if (out.crcState == CrcState::Known)
            out.crc = static_cast<std::uint32_t>(TakeNumber(m_packed, at));
    }
}

bool ListingRecords::add(ListingSource& source, const QString& name,
                         const std::function<bool()>& keepGoing)
{
    const ListingHeader& header = source.header();
    Source seen;
    seen.name = name;
    seen.columns = header.columns;
    seen.totals = true;
    if (m_type == ReportType::None)
        m_type = ReportTypeOfName(header.reportType);
    m_locations.insert(m_locations.end(), header.locations.begin(), header.locations.end());
    // A new listing starts at its own locations, never inside the last one's folders.
    m_chain.clear();
    const bool keep = m_shown.any();
    ListingEntry entry;
    while (true) {
        if (keepGoing && !keepGoing()) {
            m_error = QStringLiteral("stopped");
            return false;
        }
        if (!source.next(entry))
            break;
        const FolderNode* const node = nodeFor(
            entry.kind == EntryKind::Folder ? std::string_view(entry.path) : entry.folder());
        if (!node) {
            m_error = QStringLiteral("%1: more folders than a listing of %2 entries can hold")
                          .arg(name)
                          .arg(m_records.lastIndex());
            return false;
        }
        if (entry.kind == EntryKind::Folder) {
            addFolder(entry, node, seen);
            continue;
        }
        addFile(entry, node, seen, keep ? &header.columns : nullptr);
        if (entry.unreadable && m_unreadHook)
            m_unreadHook(entry.path, UnreadWhat(entry.unreadable));
    }
    if (!source.error().isEmpty()) {
        m_error = source.error();
        return false;
    }
    seen.totals = seen.totals && seen.folders;
    m_sources.push_back(seen);
    return true;
}

void ListingRecords::addFolder(const ListingEntry& entry, const FolderNode* node, Source& seen)
{
    m_records.appendFolderRecord(node);
    seen.folders = true;
    seen.totals = seen.totals && entry.totalsKnown;
    if (entry.totalsKnown) {
        // The nodes are this list's own; records hold them const for the layouts.
        auto* own = const_cast<FolderNode*>(node);
        own->totalSize = entry.totalSize;
        own->totalFiles = entry.fileCount;
    }
}

// detailColumns: the listing's columns when details are kept, else null.
void ListingRecords::addFile(const ListingEntry& entry, const FolderNode* folder, Source& seen,
                             const ListingColumns* detailColumns)
{
    seen.files = true;
    std::string fileName(entry.name());
    if (entry.unreadable & kUnreadableStatus) {
        m_records.appendUnreadableFile(folder, std::move(fileName), EACCES);
        return;
    }
    seen.allocated = seen.allocated && entry.allocatedKnown;
    const bool onDisk = m_settings.SizeOnDisk && entry.allocatedKnown;
    m_records.appendFile(folder, std::move(fileName), onDisk ? entry.allocated : entry.size);
    ScanRecord& record = m_records.items().back();
    record.statKnown = true;
    record.link = entry.kind == EntryKind::Link;
    // A link's line shows its target's time, which a listing does not hold: blank.
    record.modified = entry.timeKnown && !record.link ? entry.modified : kNoTime;
    seen.links += record.link ? 1 : 0;
    if (detailColumns)
        keepDetails(entry, *detailColumns);
}

void ListingRecords::finish()
{
    if (!m_settings.FolderTotals)
        return;
    bool allCarried = true;
    for (const Source& source : m_sources)
        allCarried = allCarried && (source.totals || !source.folders);
    // A listing made without totals (or without folders) still has the files to count.
    if (!allCarried ||
        std::none_of(m_sources.begin(), m_sources.end(), [](const Source& s) { return s.folders; }))
        m_records.computeFolderTotals();
}

QStringList ListingRecords::lacks(ReportType type) const
{
    QStringList lines;
    const bool details = type == ReportType::ListInDetails;
    const bool sizes = details || type == ReportType::TreeViewWithSize || m_settings.FolderTotals;
    for (const Source& source : m_sources) {
        const QString name = source.name + QStringLiteral(": ");
        if (type != ReportType::FolderList && !source.files)
            lines += name + QStringLiteral("the listing holds no files (a folder list)");
        if (!details && !source.folders && source.files)
            lines += name + QStringLiteral("the listing holds no folder entries (List In "
                                           "Details): only folders with files are shown");
        if (m_settings.FolderTotals && !source.totals && !source.files)
            lines += name + QStringLiteral("the listing holds no folder totals; they are left 0");
        if (m_settings.SizeOnDisk && sizes && source.files && !source.allocated)
            lines += name + QStringLiteral("the listing holds no sizes on disk; the sizes "
                                           "shown are apparent sizes");
        if (details && source.links > 0 &&
            (m_settings.Fields[DetailColumn::Date] || m_settings.Fields[DetailColumn::Time]))
            lines += name + QStringLiteral("%1 symbolic link(s) have their date and time left "
                                           "blank: a listing does not hold their target's")
                                .arg(source.links);
        if (!details)
            continue;
        QStringList missing;
        for (const DetailColumnRow& row : kDetailColumns)
            if (m_shown[row.column] && !source.columns[row.column])
                missing += QLatin1String(row.listingKey);
        if (!missing.isEmpty() && source.files)
            lines += name + QStringLiteral("the listing has no %1 column(s); left blank")
                                .arg(missing.join(QStringLiteral(", ")));
    }
    return lines;
}

bool LayOutListingRecords(ReportType type, const ListingRecords& records, ScanCounters& counters,
                          bool* cancel, const ReportChoices& choices, const QString& stagingPath)
{
    LayoutContext context;
    static_cast<ReportChoices&>(context) = choices;
    context.records = &records.records();
    context.locations = LocationPaths(records.locations());
    context.stagingPath = stagingPath;
    context.cancel = cancel;
    context.counters = &counters;
    context.recordDetails = [&records](std::size_t k, FileDetails& details) {
        records.details(k, details);
    };
    return RunLayout(type, context);
}

namespace {

/// The entries of several listings one after the other, under one header.
class MergedSource : public ListingSource {
public:
    MergedSource(const std::vector<ListingSource*>& sources, ListingHeader header)
        : m_sources(sources), m_header(std::move(header))
    {}
    const ListingHeader& header() const override { return m_header; }
    QString error() const override { return m_error; }

    bool next(ListingEntry& entry) override
    {
        for (; m_at < m_sources.size(); ++m_at) {
            if (!m_sources[m_at]->next(entry)) {
                m_error = m_sources[m_at]->error();
                if (!m_error.isEmpty())
                    return false;
                m_sourceChanged = true;
                continue;
            }
            if (repeated(entry)) {
                m_error = QStringLiteral("%1 is in more than one listing")
                              .arg(QString::fromStdString(ValidUtf8(entry.path)));
                return false;
            }
            return true;
        }
        return false;
    }

private:
    // Each listing's reader checks that one folder's entries hold each name once; what is left
    // is a folder whose entries go on from one listing into the next.
    bool repeated(const ListingEntry& entry)
    {
        const bool folder = entry.kind == EntryKind::Folder;
        const std::string_view group = folder ? std::string_view(entry.path) : entry.folder();
        if (group != m_group) {
            m_group.assign(group);
            m_names.clear();
            m_nameEnds.clear();
            m_before.clear();
            m_folderSeen = false;
            m_checking = false;
        } else if (m_sourceChanged) {
            // Rare: only now are the names looked up, so only now are they placed in a table.
            m_checking = true;
            std::size_t at = 0;
            for (const std::size_t end : m_nameEnds) {
                m_before.insert(std::string_view(m_names).substr(at, end - at));
                at = end;
            }
        }
        m_sourceChanged = false;
        const bool twice = m_checking && (folder ? m_folderSeen : m_before.contains(entry.name()));
        if (folder) {
            m_folderSeen = true;
        } else {
            m_names.append(entry.name());
            m_nameEnds.push_back(m_names.size());
        }
        return twice;
    }

    const std::vector<ListingSource*>& m_sources;
    ListingHeader m_header;
    std::size_t m_at = 0;
    QString m_error;
    std::string m_group = std::string(1, '\0');
    std::string m_names; ///< the names of the folder being read, one after the other
    std::vector<std::size_t> m_nameEnds;
    bool m_folderSeen = false;
    bool m_sourceChanged = false;
    bool m_checking = false; ///< the folder goes on from the listing before
    NameSet m_before;
};

void AddMissing(QStringList& to, const QStringList& from)
{
    for (const QString& item : from)
        if (!to.contains(item))
            to += item;
}

} // namespace

bool MergeListings(const std::vector<ListingSource*>& sources, const QStringList& names,
                   ListingFormat format, QIODevice& out, QString* error,
                   const std::function<void(const QString&)>& dropped,
                   const std::function<bool(std::size_t)>& progress)
{
    if (sources.empty()) {
        *error = QStringLiteral("no listing to merge");
        return false;
    }
    ListingHeader header = sources.front()->header();
    for (std::size_t i = 1; i < sources.size(); ++i) {
        const ListingHeader& other = sources[i]->header();
        // A listing's type says whether it lists files and folders: one type for the whole.
        if (other.reportType != header.reportType) {
            *error =
                QStringLiteral("%1 is a \"%2\" listing and %3 a \"%4\" listing: only "
                               "listings of one report type merge")
                    .arg(names.value(0), header.reportType, names.value(int(i)), other.reportType);
            return false;
        }
        header.locations.insert(header.locations.end(), other.locations.begin(),
                                other.locations.end());
        AddMissing(header.excludedNames, other.excludedNames);
        AddMissing(header.excludedFolders, other.excludedFolders);
        AddMissing(header.excludedExtensions, other.excludedExtensions);
        if (other.scanned < header.scanned) {
            header.scanned = other.scanned;
            header.utcOffset = other.utcOffset;
        }
    }
    // A column some listing lacks would read as a value its files do not have.
    for (const DetailColumnRow& row : kDetailColumns) {
        if (!row.listingKey)
            continue;
        const DetailColumn column = row.column;
        header.columns[column] = true;
        for (std::size_t i = 0; i < sources.size(); ++i) {
            if (sources[i]->header().columns[column])
                continue;
            header.columns[column] = false;
            const bool anyHas = std::any_of(sources.begin(), sources.end(), [column](auto* source) {
                return source->header().columns[column];
            });
            if (anyHas && dropped)
                dropped(QStringLiteral("%1 has no %2 column: the merged listing leaves it out")
                            .arg(names.value(int(i)), QLatin1String(row.listingKey)));
        }
    }
    MergedSource merged(sources, std::move(header));
    return WriteListing(merged, format, out, error, progress);
}

} // namespace quillon
