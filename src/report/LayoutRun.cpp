#include "report/LayoutRun.h"

#include "report/RtfFraming.h"

namespace quillon {

namespace {

constexpr std::size_t kProgressEvery = 50;

} // namespace

LayoutRun::LayoutRun(LayoutContext& context, const QString& procedure)
    : m_context(context), m_steps(procedure, context.decide, [this] {
          if (m_context.cancel)
              *m_context.cancel = true;
      })
{}

bool LayoutRun::run(qint32 closingStep, std::string_view closingLine,
                    const std::function<void()>& body)
{
    const bool done = RunCommand(m_steps, [&] {
        m_steps.step(1, [&] { m_file.emplace(m_context.stagingPath); });
        // Inside the step: a font size that is no number is that step's error.
        m_steps.step(2, [&] { m_file->writeLine(RtfHeader(m_context.font)); });
        const SummarySettings& summary = m_context.settings.Summary;
        // The files the duplicates compare are read on the other core meanwhile.
        if (summary.duplicatesAhead())
            m_duplicates = std::make_unique<DuplicatesAhead>(records(), summary.SameBytes,
                                                             m_context.duplicatesFeed);
        if (!summary.any() || !summary.Alone)
            body();
        if (summary.any())
            writeScanSummary(closingStep);
        writeLine(closingStep, closingLine);
        m_steps.step(closingStep + 1, [&] { m_file->close(); });
    });
    m_duplicates.reset(); // stops a reading that a failure left behind
    if (!done)
        m_file.reset(); // closes what was written so far; the pane keeps its old report
    return done;
}

void LayoutRun::writeLine(qint32 step, std::string_view bytes)
{
    m_steps.step(step, [&] { m_file->writeLine(bytes); });
}

void LayoutRun::writeLine(qint32 step, const QString& text)
{
    m_steps.step(step, [&] { m_file->writeLine(text); });
}

void LayoutRun::writeSummaryTitle(qint32 step)
{
    writeLine(step, std::string_view("\\par\\b Total Summary: \\b0"));
}

void LayoutRun::writeScanSummary(qint32 step)
{
    SummaryHooks hooks;
    hooks.yield = [this] { m_context.progress.Yield(); };
    hooks.cancelled = [this] { return cancelled(); };
    // Never a Retry or Abort question: the file is named and the summary says it was left out.
    hooks.unreadable =
        m_context.unreadableDetail ? m_context.unreadableDetail : m_context.unreadableNote;
    m_context.progress.Status(QStringLiteral("Summarizing the scan, please wait..."));
    const ScanSummary summary =
        SummarizeScan(records(), m_context.settings.Summary, hooks, m_duplicates.get());
    m_duplicates.reset();
    const ReportSettings& settings = m_context.settings;
    for (const std::string& line : SummaryReportLines(
             summary, [&](std::string_view text) { return RtfSafeText(text, settings); }))
        writeLine(step, std::string_view(line));
}

void LayoutRun::showProgress(std::size_t k) const
{
    if (k % kProgressEvery != 0 || !m_context.progress.status)
        return;
    m_context.progress.Status(QStringLiteral("Formating list. please wait... ") +
                              QString::number(k) + QStringLiteral(" / ") +
                              QString::number(records().lastIndex()));
}

bool FolderRuns::begins(const FolderNode* folder)
{
    if (m_count > 0 && SamePath(folder, m_current))
        return false;
    m_current = folder;
    ++m_count;
    return true;
}

} // namespace quillon
