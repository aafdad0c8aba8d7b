#include "report/Layouts.h"

#include "platform/PathRules.h"
#include "platform/Utf8.h"
#include "report/LayoutRun.h"
#include "report/RtfFraming.h"
#include "report/TreeLayout.h"

#include <QLocale>

namespace quillon {

namespace {

/// One line per run of records of one folder path, however the runs are spread.
void WriteFolderLines(LayoutRun& run)
{
    const RecordList& records = run.records();
    const std::size_t n = records.lastIndex();
    FolderRuns runs;
    const QLocale locale;
    std::string path;
    std::string line;
    for (std::size_t k = 1; k <= n; ++k) {
        run.context().progress.Yield();
        const ScanRecord& record = records[k];
        if (record.folder && runs.begins(record.folder)) {
            path.clear();
            record.folder->appendPath(path);
            line = RtfSafeText(WithoutTrailingSlash(path), run.settings());
            if (run.settings().FolderTotals) {
                // The path padded to the name part of a tree line, then the totals.
                const int columnSize = run.settings().columnSize();
                const auto width = static_cast<std::size_t>(columnSize + 14);
                AppendFolderTotals(line, Utf8Length(WithoutTrailingSlash(path)), *record.folder,
                                   width, run.settings(), locale);
            }
            line.append("\\par");
            run.writeLine(3, line);
            run.writeLine(4, std::string_view());
            ++run.counters().folders;
        }
        run.showProgress(k);
    }
}

void WriteSummary(LayoutRun& run)
{
    run.writeSummaryTitle(5);
    run.writeLine(6, std::string_view());
    run.writeLine(7, QStringLiteral("\\par %1 folder(s) found \\par ").arg(run.counters().folders));
}

} // namespace

bool FolderList(LayoutContext& context)
{
    LayoutRun run(context, QStringLiteral("Folder List"));
    return run.run(8, " \\par\\par\\par}", [&] {
        WriteFolderLines(run);
        if (context.settings.IncludeFullSum)
            WriteSummary(run);
    });
}

} // namespace quillon
