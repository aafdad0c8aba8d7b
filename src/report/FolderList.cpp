#include "report/Layouts.h"

#include "platform/CommandSteps.h"
#include "platform/PathRules.h"
#include "report/RtfFraming.h"
#include "report/StagingFile.h"

#include <optional>

namespace quillon {

namespace {

constexpr std::size_t kProgressEvery = 50;

} // namespace

bool FolderList(LayoutContext& context)
{
    ScanCounters unused;
    ScanCounters& counters = context.counters ? *context.counters : unused;
    const RecordList empty;
    const RecordList& records = context.records ? *context.records : empty;

    CommandSteps steps(QStringLiteral("Folder List"), context.decide, [&] {
        if (context.cancel)
            *context.cancel = true;
    });
    std::optional<ReportStagingFile> file;

    const bool done = RunCommand(steps, [&] {
        steps.step(1, [&] { file.emplace(context.stagingPath); });
        steps.step(2, [&] { file->writeLine(RtfHeader(context.font)); });

        const std::size_t n = records.lastIndex();
        const FolderNode* previousNode = nullptr;
        bool anyFolder = false;
        std::string path;
        std::string line;

        for (std::size_t k = 1; k <= n; ++k) {
            context.progress.Yield();
            const ScanRecord& record = records[k];
            if (record.folder) {
                // Each run of records of one folder path is one line, however the runs are spread.
                if (!anyFolder || !SamePath(record.folder, previousNode)) {
                    path.clear();
                    record.folder->appendPath(path);
                    line = RtfSafeText(WithoutTrailingSlash(path), context.settings);
                    line.append("\\par");
                    steps.step(3, [&] { file->writeLine(line); });
                    steps.step(4, [&] { file->writeLine(std::string_view()); });
                    previousNode = record.folder;
                    anyFolder = true;
                    ++counters.folders;
                }
            }
            if (k % kProgressEvery == 0)
                context.progress.Status(QStringLiteral("Formating list. please wait... ") +
                                        QString::number(k) + QStringLiteral(" / ") +
                                        QString::number(n));
        }

        if (context.settings.IncludeFullSum) {
            steps.step(5,
                       [&] { file->writeLine(std::string_view("\\par\\b Total Summary: \\b0")); });
            steps.step(6, [&] { file->writeLine(std::string_view()); });
            steps.step(7, [&] {
                file->writeLine(
                    QStringLiteral("\\par %1 folder(s) found \\par ").arg(counters.folders));
            });
        }
        steps.step(8, [&] { file->writeLine(std::string_view(" \\par\\par\\par}")); });
        steps.step(9, [&] { file->close(); });
    });
    if (!done)
        file.reset(); // closes what was written so far; the pane keeps its old report
    return done;
}

} // namespace quillon
