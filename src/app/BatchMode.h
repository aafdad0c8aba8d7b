#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace quillon {

/// Exit statuses of batch mode.
inline constexpr int kBatchDone = 0;
inline constexpr int kBatchFailed = 1;
inline constexpr int kBatchWrongUsage = 2;
/// The report was written, but some folders or files could not be read (each told on
/// standard error): an unreadable folder, a missing location, a file whose status, checksum,
/// version or tag could not be read.
inline constexpr int kBatchIncomplete = 3;
inline constexpr int kBatchInterrupted = 130; ///< Ctrl+C, as shells report SIGINT

/// What the command line asks of batch mode.
struct BatchRequest {
    bool help = false;
    QString jobPath;
    QString outputPath;         ///< empty: print the report as plain text on standard output
    bool compare = false;       ///< "--compare A B": jobPath (from --job) is optional
    QString compareA, compareB; ///< each a folder or a JSON listing
    bool crc = false;           ///< "--crc": compare checksums of scanned folders
};

/// True when the arguments (program name first) ask for batch mode or its help, so that no
/// window and no display are needed: any "--" option, "-o" or "-h".
bool WantsBatchMode(const QStringList& arguments);

/// Reads "--report JOB [-o FILE]", "--compare A B [-o FILE] [--job JOB] [--crc]" and "--help"
/// (program name first). Nothing, with *error set, when the arguments are wrong.
std::optional<BatchRequest> ParseBatchArguments(const QStringList& arguments, QString* error);

/// The usage text of "quillon --help".
QString BatchUsage();

/// Runs the job of the request without the window: scan, layout, staging file, then the
/// output by the Save As rules. Needs a QCoreApplication. Returns the exit status; a failure
/// has been told on standard error in one line. eachStep runs at every step of the scan's
/// long loops (tests interrupt the run there).
int RunBatchJob(const BatchRequest& request, const std::function<void()>& eachStep = {});

/// Parses the arguments and runs (or prints the usage); returns the exit status.
int RunBatchMode(const QStringList& arguments);

} // namespace quillon
