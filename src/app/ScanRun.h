#pragma once

#include "platform/ErrorReport.h"
#include "platform/ProgressHooks.h"
#include "report/ReportType.h"
#include "scan/ExclusionList.h"
#include "scan/FileSeen.h"
#include "scan/ScanCounters.h"
#include "scan/ScanLocation.h"
#include "scan/ScanOptions.h"
#include "scan/ScanRecord.h"

#include <functional>

namespace quillon {

class CommandSteps;
struct WalkSettings;

/// What the scan run needs from whoever drives it (the window, batch mode, tests). Every
/// member is optional; an empty one does nothing.
struct ScanRunHooks {
    ProgressHooks progress;               ///< yield per entry, panel 1 texts
    ErrorDecider decide;                  ///< error convention, procedure "Scanning"
    std::function<void()> saveDefaultJob; ///< step 2
    std::function<void()> noLocations;    ///< step 3: tell the user, open the add command
    std::function<void()> started;        ///< step 7: focus, stopwatch, timer, panels
    std::function<void(bool idle)> setScanningState; ///< steps 8 (false) and 15 (true)
    /// Step 14: runs the layout of the report type over the sorted records. It fills counters
    /// and may set *cancel (when the user gives up inside it).
    std::function<void(ReportType, const RecordList&, ScanCounters&, bool* cancel)> layout;
    /// Step 15 (counts, timer), after panel 1 got "Ready" or "Scan Terminated." through
    /// progress.status and the window went back to idle: cancelled is the flag's final state.
    /// Also called after an Abort once the run has started, so the window never stays busy.
    std::function<void(const ScanCounters&, bool cancelled)> finished;
    /// Told of each file as the walk finds it (work that can begin before the layout).
    FileSeen* fileSeen = nullptr;
};

/// The Scan command without the window: walks every location not marked excluded, sorts the
/// records into folder order, and hands them to the layout.
class ScanRun {
public:
    /// Runs steps 1 to 15 (the numbers an error report shows). Returns false when the run
    /// ended on Abort (the finished hook is still called then, so the window always returns
    /// to idle).
    bool Run(const ScanLocationList& locations, const ExclusionList& exclusions, ReportType type,
             const ScanRunHooks& hooks);

    /// What the next runs take (the report settings' walk switches).
    void setOptions(const ScanOptions& options) { m_options = options; }
    const ScanOptions& options() const { return m_options; }

    /// Set by the Cancel command; read at the walker's next entry.
    void Cancel() { m_cancel = true; }
    bool cancelled() const { return m_cancel; }

    const RecordList& records() const { return m_records; }
    const ScanCounters& counters() const { return m_counters; }
    /// Folders of the last run that could not be read (errno in FolderNode::readError).
    const std::vector<const FolderNode*>& unreadableFolders() const { return m_unreadable; }
    /// Indexes into records() of the files of the last run whose status could not be read.
    std::vector<std::size_t> unreadableFiles() const;

private:
    /// Steps 1 to 9; false when there is nothing to walk (step 3 told the user).
    bool start(CommandSteps& steps, bool noLocations, const ScanRunHooks& hooks, bool* started);
    /// Step 10 for every location not marked excluded.
    void walk(CommandSteps& steps, const ScanLocationList& locations,
              const ExclusionList& exclusions, ReportType type, const ScanRunHooks& hooks);
    /// Steps 11 to 15.
    void sortAndLayOut(CommandSteps& steps, ReportType type, const ScanRunHooks& hooks);
    void finish(const ScanRunHooks& hooks);

    bool m_cancel = false;
    ScanOptions m_options;
    RecordList m_records;
    ScanCounters m_counters;
    std::vector<const FolderNode*> m_unreadable;
    std::size_t m_unreadableFiles = 0;
};

/// What the walk of one location records for the report type; its depth limit is
/// DepthLimitFromLevel's.
WalkSettings WalkSettingsFor(const ScanLocation& location, ReportType type,
                             const ScanOptions& options);

/// Turns a level text into the walker's depth limit: "All Levels", "" and 0 mean no limit (0);
/// otherwise the text as a 16-bit whole number, rounded (half to even). Throws CommandError
/// 13 for text that is not a number and 6 for one beyond 16 bits. -1 enters nothing.
int DepthLimitFromLevel(const QString& level);

} // namespace quillon
