#pragma once

#include "output/SaveFormat.h"
#include "report/ReportType.h"
#include "report/ScanSummary.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace quillon {

/// How batch mode ends; ExitCode gives the number the shell sees.
enum class BatchExit {
    Done,
    Failed,
    WrongUsage,
    /// The report was written, but some folders or files could not be read (each told on
    /// standard error): an unreadable folder, a missing location, a file whose status,
    /// checksum, version or tag could not be read.
    Incomplete,
    Interrupted, ///< Ctrl+C
};

constexpr int ExitCode(BatchExit exit)
{
    switch (exit) {
    case BatchExit::Done:
        return 0;
    case BatchExit::Failed:
        return 1;
    case BatchExit::WrongUsage:
        return 2;
    case BatchExit::Incomplete:
        return 3;
    case BatchExit::Interrupted:
        break;
    }
    return 130; // as shells report SIGINT
}

inline constexpr int kBatchDone = ExitCode(BatchExit::Done);
inline constexpr int kBatchFailed = ExitCode(BatchExit::Failed);
inline constexpr int kBatchWrongUsage = ExitCode(BatchExit::WrongUsage);
inline constexpr int kBatchIncomplete = ExitCode(BatchExit::Incomplete);
inline constexpr int kBatchInterrupted = ExitCode(BatchExit::Interrupted);

/// What the command line asks of batch mode.
struct BatchRequest {
    bool help = false;
    QString jobPath;     ///< the job file of --report (or --job), if any
    QStringList folders; ///< the folders of --report, scanned after the job's locations
    QString outputPath;  ///< empty or "-": the report goes to standard output
    OutputKind format = OutputKind::None; ///< --format; None: as the output's name asks
    // What --report's options set over the job (or over the window's default job).
    std::optional<ReportType> type;
    QString sortKey; ///< "Name", "Size", "Date"; empty: the job's
    std::optional<bool> ascending;
    QString level; ///< "All Levels" or a number; empty: the job's
    bool noSubfolders = false;
    QString filter;             ///< ".mp3;.flac" or "*.*"; empty: the job's
    QString fontName, fontSize; ///< empty: the job's
    bool compare = false;       ///< "--compare A B": jobPath (from --job) is optional
    QString compareA, compareB; ///< each a folder or a JSON listing
    bool crc = false;           ///< "--crc": compare checksums of scanned folders
    int threads = 0;            ///< "--threads N"; 0: the settings' choice
    /// The saved JSON listings of --report, read in place of a scan.
    QStringList listings;
    /// --summary: these kinds in place of the stored ones; --summary-alone, --top and
    /// --same-bytes set their own fields over the stored settings.
    std::optional<SummarySettings> summaryKinds;
    bool summaryAlone = false;
    int topCount = 0; ///< 0: the stored count
    bool sameBytes = false;
};

/// True when the arguments (program name first) ask for batch mode or its help, so that no
/// window and no display are needed: any "--" option, "-o" or "-h".
bool WantsBatchMode(const QStringList& arguments);

/// Reads "--report PATH... [options] [-o FILE]", "--compare A B [-o FILE] [--job JOB] [--crc]"
/// and "--help" (program name first), by the option table. A --report path that is a folder
/// is scanned; any other names the job file. Nothing, with *error set to one line, when the
/// arguments are wrong.
std::optional<BatchRequest> ParseBatchArguments(const QStringList& arguments, QString* error);

/// The usage text of "quillon --help".
QString BatchUsage();

/// True when the run writes a PDF, which needs a GUI application for its fonts.
bool BatchWritesPdf(const QStringList& arguments);

/// Runs the job of the request without the window: scan, layout, staging file, then the
/// output by the Save As rules. Needs a QCoreApplication. Returns the exit status; a failure
/// has been told on standard error in one line. eachStep runs at every step of the scan's
/// long loops (tests interrupt the run there).
int RunBatchJob(const BatchRequest& request, const std::function<void()>& eachStep = {});

/// Parses the arguments and runs (or prints the usage); returns the exit status.
int RunBatchMode(const QStringList& arguments);

} // namespace quillon
