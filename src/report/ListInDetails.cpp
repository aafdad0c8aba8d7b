#include "details/SizeText.h"
#include "platform/PathRules.h"
#include "report/FolderSortList.h"
#include "report/LayoutRun.h"
#include "report/Layouts.h"
#include "report/RtfFraming.h"
#include "report/WriteDetails.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

namespace quillon {

namespace {

/// The walk read the status already; only a link's line shows what it points at. A file
/// gone since then gets no key (false), so the rest of its folder is still listed. Looked up
/// in the folder's descriptor: the whole path may be beyond PATH_MAX. path is scratch.
bool RestatForLine(DetailsBlockWriter& writer, const std::string& folder, const ScanRecord& record,
                   std::string& path, std::int64_t& changed, int& statError)
{
    path.assign(folder).append(record.name);
    const FileAt file = writer.folders().at(record.name, path);
    struct stat st {};
    if (StatForLine(file, st)) {
        changed = st.st_mtim.tv_sec;
    } else if (errno == ENOENT) {
        return false;
    } else {
        statError = errno;
        writer.tellUnreadable(path, statError, 0);
    }
    return true;
}

/// The Date sort's day of a file changed at changed; empty when it has no local time.
std::string DayOf(std::int64_t changed)
{
    std::tm local{};
    return ChangedLocalTime(changed, local) ? DayKey(local) : std::string();
}

/// Collects each folder's keys in record order and writes the folder's block when the next
/// folder begins; the last block is written also after a cancel, and for an empty report.
void WriteFolderBlocks(LayoutRun& run, DetailsBlockWriter& writer)
{
    const RecordList& records = run.records();
    ScanCounters& counters = run.counters();
    const DetailsSortBy sortBy = DetailsSortByText(run.context().sort.key);
    FolderSortList sortList(sortBy, run.context().sort.ascending);
    FolderRuns runs;
    std::string current; // path of the folder being collected, ending in "/"
    const FolderNode* currentNode = nullptr;
    const auto writeFolder = [&] {
        writer.WriteDetails(WithoutTrailingSlash(current), sortList.sorted(), currentNode);
    };

    // Records of a saved listing name no file of this disk: each key is what its record holds.
    const bool stored = static_cast<bool>(run.context().recordDetails);
    std::string path;
    const std::size_t n = records.lastIndex();
    for (std::size_t k = 1; k <= n; ++k) {
        run.context().progress.Yield();
        if (run.cancelled())
            break;
        const ScanRecord& record = records[k];
        if (!record.isFile())
            continue;
        if (!record.repeatLink)
            counters.sizeTotal += std::abs(static_cast<double>(record.size));
        if (runs.begins(record.folder)) {
            if (runs.count() > 1)
                writeFolder();
            current.clear();
            currentNode = record.folder;
            if (record.folder)
                record.folder->appendPath(current);
            ++counters.folders;
            sortList.clear();
            if (!stored)
                writer.folders().moveTo(current);
        }

        std::int64_t changed = record.modified;
        int statError = record.statError; // told with the walk's findings
        if (!stored && statError == 0 && (!record.statKnown || record.link) &&
            !RestatForLine(writer, current, record, path, changed, statError))
            continue;
        DetailsSortKey key{sortList.keepsFolder() ? std::string_view(current) : std::string_view(),
                           record.name,
                           record.size,
                           {},
                           changed,
                           statError,
                           record.repeatLink,
                           k};
        if (sortBy == DetailsSortBy::Date && statError == 0)
            key.day = DayOf(key.changed);
        sortList.add(std::move(key));
    }
    writeFolder();
}

void WriteSummary(LayoutRun& run)
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
        WriteFolderBlocks(run, writer);
        if (context.settings.IncludeFullSum)
            WriteSummary(run);
    });
}

} // namespace quillon
