#include "details/SizeText.h"
#include "platform/PathRules.h"
#include "report/LayoutRun.h"
#include "report/Layouts.h"
#include "report/RtfFraming.h"
#include "report/WriteDetails.h"
#include "scan/Collation.h"
#include "scan/SortStrings.h"

#include <sys/stat.h>

#include <cstdlib>
#include <numeric>

namespace quillon {

namespace {

/// The current folder's sort keys, sorted by the collation of their key texts. Each text is
/// decoded once per folder and compared directly by the collator (no full sort key per file).
/// The keys of one folder share its path, which therefore decides nothing: it is left out of
/// the texts, so a file's cost does not grow with its folder's depth. Only a collation that
/// compares accents from the end of the text could see the shared part, and keeps it.
class FolderSortList {
public:
    FolderSortList(DetailsSortBy sortBy, bool ascending)
        : m_sortBy(sortBy), m_ascending(ascending), m_texts(m_collation),
          m_keepFolder(m_collation.comparesAccentsBackwards())
    {}

    void clear() { m_keys.clear(); }
    bool keepsFolder() const { return m_keepFolder; }
    void add(DetailsSortKey key) { m_keys.push_back(std::move(key)); }

    /// The keys in the user's order; names that collate equal keep their order by bytes in
    /// either direction.
    const std::vector<DetailsSortKey>& sorted()
    {
        if (m_keys.size() < 2)
            return m_keys;
        m_texts.clear();
        for (const DetailsSortKey& key : m_keys)
            m_texts.add(DetailsKeyText(key, m_sortBy));
        m_order.resize(m_keys.size());
        std::iota(m_order.begin(), m_order.end(), 0u);
        SortStrings(m_order, m_ascending, [this](std::uint32_t a, std::uint32_t b) {
            const int order = m_texts.compare(a, b);
            if (order != 0)
                return order;
            // Keys that collate equal stay in record order (by bytes, as the record sort left
            // them) whichever the direction, as the sort keeps equal items in their order.
            const int bytes = Collation::CompareBytes(m_keys[a].name, m_keys[b].name);
            return m_ascending ? bytes : -bytes;
        });
        m_sorted.clear();
        for (const std::uint32_t index : m_order)
            m_sorted.push_back(std::move(m_keys[index]));
        m_keys.swap(m_sorted);
        return m_keys;
    }

private:
    DetailsSortBy m_sortBy;
    bool m_ascending;
    Collation m_collation;
    CollationTexts m_texts;
    bool m_keepFolder;
    std::vector<DetailsSortKey> m_keys;
    std::vector<DetailsSortKey> m_sorted;
    std::vector<std::uint32_t> m_order;
};

/// Collects each folder's keys in record order and writes the folder's block when the next
/// folder begins; the last block is written also after a cancel, and for an empty report.
void writeFolderBlocks(LayoutRun& run, DetailsBlockWriter& writer)
{
    const RecordList& records = run.records();
    ScanCounters& counters = run.counters();
    const DetailsSortBy sortBy = DetailsSortByText(run.context().sort.key);
    FolderSortList sortList(sortBy, run.context().sort.ascending);
    FolderRuns runs;
    std::string current; // path of the folder being collected, ending in "/"
    const auto writeFolder = [&] {
        writer.WriteDetails(WithoutTrailingSlash(current), sortList.sorted());
    };

    std::string path;
    std::string name;
    const std::size_t n = records.lastIndex();
    for (std::size_t k = 1; k <= n; ++k) {
        run.context().progress.Yield();
        if (run.cancelled())
            break;
        const ScanRecord& record = records[k];
        if (!record.isFile())
            continue;
        counters.sizeTotal += std::abs(static_cast<double>(record.size));
        if (runs.begins(record.folder)) {
            if (runs.count() > 1)
                writeFolder();
            current.clear();
            if (record.folder)
                record.folder->appendPath(current);
            ++counters.folders;
            sortList.clear();
            writer.folders().moveTo(current);
        }

        // A file gone since the walk gets no key, so the rest of its folder is still listed.
        // Looked up in the folder's descriptor: the whole path may be beyond PATH_MAX.
        path.assign(current).append(record.name);
        name.assign(record.name);
        const FileAt file = writer.folders().at(name, path);
        struct stat st;
        if (!StatNoFollow(file, st))
            continue;
        DetailsSortKey key{sortList.keepsFolder() ? std::string_view(current) : std::string_view(),
                           record.name,
                           record.size,
                           {}};
        if (sortBy == DetailsSortBy::Date) {
            std::tm changed{};
            if (FileChangedTime(file, changed))
                key.day = DayKey(changed);
        }
        sortList.add(std::move(key));
    }
    writeFolder();
}

void writeSummary(LayoutRun& run)
{
    const ScanCounters& counters = run.counters();
    run.writeSummaryTitle(3);
    run.writeLine(4, QStringLiteral("\\par %1 file(s) found in %2 folder(s) \\par")
                         .arg(counters.files)
                         .arg(counters.folders));
    run.writeLine(5, QStringLiteral("Total file size ") + FormatSize(counters.sizeTotal) +
                         QStringLiteral(" \\par"));
}

} // namespace

bool ListInDetails(LayoutContext& context)
{
    LayoutRun run(context, QStringLiteral("List In Details"));
    return run.run(6, " \\par \\par \\par }", [&] {
        DetailsBlockWriter writer(context, run.file(), run.counters());
        writeFolderBlocks(run, writer);
        if (context.settings.IncludeFullSum)
            writeSummary(run);
    });
}

} // namespace quillon
