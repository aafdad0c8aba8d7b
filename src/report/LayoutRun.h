#pragma once

#include "platform/CommandSteps.h"
#include "report/LayoutContext.h"
#include "report/ScanSummary.h"
#include "report/StagingFile.h"

#include <functional>
#include <memory>
#include <optional>
#include <string_view>

namespace quillon {

/// The frame every layout shares, so that a layout writes only its body: the numbered steps
/// under the layout's name (giving up sets the cancel flag), the staging file created (step 1)
/// and given the document header (step 2), the body, then the closing line and the close.
/// When the user gives up, the incomplete file is closed and is not to be loaded.
class LayoutRun {
public:
    LayoutRun(LayoutContext& context, const QString& procedure);

    /// Runs the frame around body; closingStep numbers the closing line and closingStep + 1
    /// the close. True when the staging file is complete and should be loaded.
    bool run(qint32 closingStep, std::string_view closingLine, const std::function<void()>& body);

    LayoutContext& context() { return m_context; }
    const ReportSettings& settings() const { return m_context.settings; }
    const RecordList& records() const
    {
        return m_context.records ? *m_context.records : m_noRecords;
    }
    /// The context's counters, or the run's own when it has none, so the summary counts alike.
    ScanCounters& counters() { return m_context.counters ? *m_context.counters : m_ownCounters; }
    bool cancelled() const { return m_context.cancel && *m_context.cancel; }
    CommandSteps& steps() { return m_steps; }
    ReportStagingFile& file() { return *m_file; }

    /// Writes one line of the staging file as the numbered step.
    void writeLine(qint32 step, std::string_view bytes);
    void writeLine(qint32 step, const QString& text);
    /// The bold "Total Summary:" line that opens every layout's summary.
    void writeSummaryTitle(qint32 step);

    /// The summaries the settings switch on, after the report's own lines (or alone), as the
    /// numbered step.
    void writeScanSummary(qint32 step);

    /// The status text of the record loop, every 50th of the records.
    void showProgress(std::size_t k) const;

private:
    LayoutContext& m_context;
    CommandSteps m_steps;
    std::optional<ReportStagingFile> m_file;
    const RecordList m_noRecords;
    ScanCounters m_ownCounters;
    std::unique_ptr<DuplicatesAhead> m_duplicates; ///< read while the body is laid out
};

/// Tells where a run of records of one folder path begins: the first folder, or a path other
/// than the previous run's (two nodes may stand for one path).
class FolderRuns {
public:
    /// True when folder begins a new run; it is then the current run's folder.
    bool begins(const FolderNode* folder);
    /// How many runs have begun.
    std::size_t count() const { return m_count; }

private:
    const FolderNode* m_current = nullptr;
    std::size_t m_count = 0;
};

} // namespace quillon
