#include "app/ScanRun.h"

#include "platform/CommandError.h"
#include "platform/CommandSteps.h"
#include "platform/StoredTexts.h"
#include "scan/RecordSort.h"
#include "scan/Walker.h"

#include <QFile>
#include <cmath>

namespace quillon {

int DepthLimitFromLevel(const QString& level)
{
    const QString text = level.trimmed();
    if (level == kAllLevels || text.isEmpty())
        return 0;
    bool ok = false;
    const double number = text.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        throw CommandError::typeMismatch();
    // Half to even and within 16 bits, so that a level in a job file written by an earlier
    // version keeps the depth it had there.
    const double rounded = std::nearbyint(number);
    if (rounded < -32768 || rounded > 32767)
        throw CommandError::overflow();
    return static_cast<int>(rounded);
}

WalkSettings WalkSettingsFor(const ScanLocation& location, ReportType type,
                             const ScanOptions& options)
{
    WalkSettings settings;
    settings.subFolders = location.withSubFolders();
    settings.filter = location.filter;
    settings.folderRecords = type != ReportType::ListInDetails;
    // The folder list shows no file: no record, no status read for one.
    // Folder totals count the files, which a folder list then does not show.
    settings.fileRecords =
        type != ReportType::FolderList || options.folderTotals || options.sortFoldersByTotal;
    settings.includeHidden = options.includeHidden;
    settings.oneFileSystem = options.oneFileSystem;
    settings.countHardLinksOnce = options.countHardLinksOnce;
    settings.sizeOnDisk = options.sizeOnDisk;
    return settings;
}

bool ScanRun::Run(const ScanLocationList& locations, const ExclusionList& exclusions,
                  ReportType type, const ScanRunHooks& hooks)
{
    CommandSteps steps(QStringLiteral("Scanning"), hooks.decide, [this] { m_cancel = true; });
    bool started = false;
    const bool completed = RunCommand(steps, [&] {
        if (!start(steps, locations.empty(), hooks, &started))
            return;
        walk(steps, locations, exclusions, type, hooks);
        sortAndLayOut(steps, type, hooks);
    });
    // After Abort the run ends at once; the window still goes back to idle.
    if (!completed && started)
        finish(hooks);
    return completed;
}

bool ScanRun::start(CommandSteps& steps, bool noLocations, const ScanRunHooks& hooks, bool* started)
{
    steps.step(1, [&] {
        m_records.clear();
        m_unreadable.clear();
        m_unreadableFiles = 0;
    });
    steps.step(2, [&] {
        if (hooks.saveDefaultJob)
            hooks.saveDefaultJob();
    });
    if (noLocations) {
        steps.step(3, [&] {
            if (hooks.noLocations)
                hooks.noLocations();
        });
        return false;
    }
    steps.step(6, [&] { m_counters = ScanCounters(); });
    steps.step(7, [&] {
        *started = true;
        if (hooks.started)
            hooks.started();
    });
    steps.step(8, [&] {
        if (hooks.setScanningState)
            hooks.setScanningState(false);
    });
    steps.step(9, [&] { m_cancel = false; });
    return true;
}

void ScanRun::walk(CommandSteps& steps, const ScanLocationList& locations,
                   const ExclusionList& exclusions, ReportType type, const ScanRunHooks& hooks)
{
    // The walker's folder buffers go before the sort: a folder of a million entries holds
    // tens of megabytes of them.
    const std::vector<std::string> paths = LocationPaths(locations);
    Walker walker(m_records, exclusions, paths, hooks.progress, &m_cancel);
    walker.setThreads(m_options.threads);
    walker.setFileSeen(hooks.fileSeen);
    for (std::size_t row = 0; row < locations.size(); ++row) {
        const ScanLocation& location = locations[row];
        // An excluded row stays in the list but is never walked; an empty one names no
        // folder (walking it would mean the root).
        if (location.excluded() || location.path.trimmed().isEmpty())
            continue;
        WalkSettings settings = WalkSettingsFor(location, type, m_options);
        settings.depthLimit = steps.step(10, [&] { return DepthLimitFromLevel(location.level); });
        steps.step(10, [&] { walker.WalkLocation(paths[row], settings); });
    }
    m_unreadable = walker.unreadableFolders();
    m_unreadableFiles = walker.unreadableFileCount();
    if (hooks.fileSeen)
        hooks.fileSeen->walked(m_cancel);
}

void ScanRun::sortAndLayOut(CommandSteps& steps, ReportType type, const ScanRunHooks& hooks)
{
    steps.step(11, [&] {
        hooks.progress.Status(QStringLiteral("Initializing format engine, please wait..."));
    });
    steps.step(12, [&] {
        SortRecords(m_records, hooks.progress.yield);
        if (m_options.folderTotals || m_options.sortFoldersByTotal)
            m_records.computeFolderTotals();
        if (m_options.sortFoldersByTotal)
            m_records.sortFoldersByTotal(m_options.totalsDescending, hooks.progress.yield);
    });
    steps.step(13, [&] { hooks.progress.Status(QStringLiteral("please wait...")); });
    steps.step(14, [&] {
        if (type != ReportType::None && hooks.layout)
            hooks.layout(type, m_records, m_counters, &m_cancel);
    });
    steps.step(15, [&] { finish(hooks); });
}

std::vector<std::size_t> ScanRun::unreadableFiles() const
{
    std::vector<std::size_t> files;
    for (std::size_t k = 1; m_unreadableFiles > 0 && k <= m_records.lastIndex(); ++k)
        if (m_records[k].statError != 0)
            files.push_back(k);
    return files;
}

void ScanRun::finish(const ScanRunHooks& hooks)
{
    hooks.progress.Status(m_cancel ? QStringLiteral("Scan Terminated.") : QStringLiteral("Ready"));
    if (hooks.setScanningState)
        hooks.setScanningState(true);
    if (hooks.finished)
        hooks.finished(m_counters, m_cancel);
}

} // namespace quillon
