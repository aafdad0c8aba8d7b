#include "app/BatchMode.h"

#include "app/BatchListing.h"
#include "app/JobFile.h"
#include "details/FileDetails.h"
#include "output/HtmlExport.h"
#include "output/SaveFormat.h"
#include "platform/CheckedSave.h"
#include "platform/PathRules.h"
#include "platform/ProgramFolder.h"
#include "platform/SettingsStore.h"
#include "report/Layouts.h"
#include "report/OwnStaging.h"
#include "rtf/RtfFiles.h"
#include "scan/ExclusionList.h"
#include "scan/ScanRun.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/ioctl.h>
#include <unistd.h>

namespace quillon {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int)
{
    g_interrupted = 1;
}

// Ctrl+C once cancels like the Cancel command; the handler is then reset, so a second Ctrl+C
// ends the program at once for a user who does not want to wait for the report.
void CatchInterrupt()
{
    g_interrupted = 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
}

void Tell(const QString& line)
{
    const QByteArray text = "quillon: " + line.toLocal8Bit() + "\n";
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stderr);
    std::fflush(stderr);
}

/// One self-overwriting progress line on standard error, only when that is a terminal.
class TerminalProgress {
public:
    TerminalProgress() : m_enabled(isatty(STDERR_FILENO) == 1) { m_clock.start(); }
    ~TerminalProgress() { clear(); }

    void show(const QString& text)
    {
        if (!m_enabled || (m_shown && m_clock.elapsed() < 100))
            return;
        m_clock.restart();
        winsize size{};
        const int width =
            ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1 ? size.ws_col - 1 : 79;
        const QByteArray line = "\r" + text.left(width).toLocal8Bit() + "\x1b[K";
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
        std::fflush(stderr);
        m_shown = true;
    }
    void clear()
    {
        if (m_enabled && m_shown) {
            std::fputs("\r\x1b[K", stderr);
            std::fflush(stderr);
        }
        m_shown = false;
    }

private:
    bool m_enabled;
    bool m_shown = false;
    QElapsedTimer m_clock;
};

QString ErrorLine(const ErrorReport& report)
{
    return QStringLiteral("error %1 (%2) in %3 at line %4")
        .arg(report.number)
        .arg(report.description, report.procedure)
        .arg(report.line);
}

bool ConvertStaging(const QString& stagingPath, QIODevice& out, bool richText, QString* error)
{
    QFile staging(stagingPath);
    if (!staging.open(QIODevice::ReadOnly)) {
        *error =
            QStringLiteral("cannot read the report %1: %2").arg(stagingPath, staging.errorString());
        return false;
    }
    const bool done = richText ? ConvertRtf(staging, out) : ConvertRtfToPlainText(staging, out);
    if (!done) {
        // A failed write is the output's fault, not the report's.
        const auto* file = qobject_cast<const QFileDevice*>(&out);
        if (file && file->error() != QFileDevice::NoError)
            *error =
                QStringLiteral("cannot write %1: %2").arg(file->fileName(), file->errorString());
        else
            *error = QStringLiteral("cannot convert the report %1").arg(stagingPath);
    }
    return done;
}

// The folder's path as the report shows it, from the folder and its parents.
QString FolderPathOf(const FolderNode* node)
{
    const std::string path = node->path();
    return QFile::decodeName(QByteArray::fromStdString(std::string(WithoutTrailingSlash(path))));
}

// After Ctrl+C the report of what was gathered is still written in full; a second Ctrl+C
// ends the program (the handler resets itself).
bool WriteReport(const QString& stagingPath, const BatchRequest& request, SaveFormat format,
                 const Job& job, QString* error)
{
    if (request.outputPath.isEmpty()) {
        QFile out;
        if (!out.open(STDOUT_FILENO, QIODevice::WriteOnly, QFileDevice::DontCloseHandle)) {
            *error = QStringLiteral("cannot write to standard output");
            return false;
        }
        if (!ConvertStaging(stagingPath, out, false, error))
            return false;
        if (!out.flush()) {
            *error = QStringLiteral("cannot write to standard output: %1").arg(out.errorString());
            return false;
        }
        return true;
    }
    if (format == SaveFormat::Html) {
        HtmlExport exporter(stagingPath, request.outputPath);
        exporter.setFont(job.fontName, job.fontSize);
        if (!exporter.run()) {
            *error = exporter.errorString();
            return false;
        }
        return true;
    }
    QSaveFile out(request.outputPath);
    if (!out.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write %1: %2").arg(request.outputPath, out.errorString());
        return false;
    }
    if (!ConvertStaging(stagingPath, out, format == SaveFormat::RichText, error)) {
        out.cancelWriting();
        return false;
    }
    QString reason;
    if (!CommitChecked(out, &reason)) {
        *error = QStringLiteral("cannot write %1: %2").arg(request.outputPath, reason);
        return false;
    }
    return true;
}

// Fails early, before a long scan, when the output could never be written.
bool CheckOutput(const QString& path, QString* error)
{
    QSaveFile probe(path);
    if (!probe.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, probe.errorString());
        return false;
    }
    probe.cancelWriting();
    return true;
}

} // namespace

bool WantsBatchMode(const QStringList& arguments)
{
    // Every "--" option is ours (a mistyped "--reprot" gets the usage, not a window); the
    // single-dash ones other than -o and -h are left to Qt ("-platform", "-style").
    for (const QString& argument : arguments.mid(1)) {
        if (argument.startsWith(QLatin1String("--")) || argument == QLatin1String("-h") ||
            argument == QLatin1String("-o"))
            return true;
    }
    return false;
}

std::optional<BatchRequest> ParseBatchArguments(const QStringList& arguments, QString* error)
{
    BatchRequest request;
    bool haveJob = false;
    bool haveOutput = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        auto valueOf = [&](const QString& option, QString* value, bool* seen) {
            if (*seen) {
                *error = QStringLiteral("%1 given twice").arg(option);
                return false;
            }
            *seen = true;
            if (argument.startsWith(option + QLatin1Char('='))) {
                *value = argument.mid(option.size() + 1);
            } else if (i + 1 < arguments.size()) {
                *value = arguments[++i];
            } else {
                *error = QStringLiteral("%1 needs a file name").arg(option);
                return false;
            }
            if (value->isEmpty()) {
                *error = QStringLiteral("%1 needs a file name").arg(option);
                return false;
            }
            return true;
        };
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            request.help = true;
        } else if (argument == QLatin1String("--report") ||
                   argument.startsWith(QLatin1String("--report="))) {
            if (!valueOf(QStringLiteral("--report"), &request.jobPath, &haveJob))
                return std::nullopt;
        } else if (argument == QLatin1String("--compare")) {
            if (request.compare || i + 2 >= arguments.size()) {
                *error = QStringLiteral("--compare needs two folders or listings");
                return std::nullopt;
            }
            request.compare = true;
            request.compareA = arguments[++i];
            request.compareB = arguments[++i];
        } else if (argument == QLatin1String("--job") ||
                   argument.startsWith(QLatin1String("--job="))) {
            if (!valueOf(QStringLiteral("--job"), &request.jobPath, &haveJob))
                return std::nullopt;
        } else if (argument == QLatin1String("--crc")) {
            request.crc = true;
        } else if (argument == QLatin1String("-o")) {
            if (!valueOf(QStringLiteral("-o"), &request.outputPath, &haveOutput))
                return std::nullopt;
        } else if (argument == QLatin1String("--output") ||
                   argument.startsWith(QLatin1String("--output="))) {
            if (!valueOf(QStringLiteral("--output"), &request.outputPath, &haveOutput))
                return std::nullopt;
        } else {
            *error = QStringLiteral("unknown argument \"%1\"").arg(argument);
            return std::nullopt;
        }
    }
    if (request.help || request.compare)
        return request;
    if (!haveJob) {
        *error =
            haveOutput ? QStringLiteral("-o needs --report JOB") : QStringLiteral("no job given");
        return std::nullopt;
    }
    return request;
}

QString BatchUsage()
{
    return QStringLiteral(
        "Usage: quillon [JOB.qjb]\n"
        "       quillon --report JOB [-o FILE]\n"
        "       quillon --compare A B [-o FILE] [--job JOB] [--crc]\n"
        "       quillon --help | --version\n"
        "\n"
        "Without --report Quillon opens its window, with the job file JOB.qjb when one is\n"
        "given, else with the job of the last session.\n"
        "\n"
        "  --report JOB     run the job file JOB (.qjb) without the window: scan its\n"
        "                   locations and lay out its report type, with the report\n"
        "                   settings and exclusion list of the window\n"
        "  -o, --output FILE\n"
        "                   write the report to FILE: plain text when the name holds\n"
        "                   \".txt\", rich text for \".rtf\", a web page for \".htm\";\n"
        "                   without -o the report is printed as plain text;\n"
        "                   \".csv\" or \".json\" write a listing of every file and\n"
        "                   folder instead, \".pdf\" the report as printed\n"
        "  --compare A B    compare two folders (scanned now) or JSON listings and\n"
        "                   list what was added, removed, changed, moved or renamed;\n"
        "                   -o as above, also \".csv\" and \".json\"; exit status 0\n"
        "                   same, 1 different, 2 trouble\n"
        "  --job JOB        with --compare: scan with the first location's sub-folder,\n"
        "                   level and filter settings and the job's font\n"
        "  --crc            with --compare: compare the CRC32 of scanned files, which\n"
        "                   also finds files moved or renamed\n"
        "  -h, --help       show this help\n"
        "      --version    show the version number\n"
        "\n"
        "Switches in [Settings] of Quillon.ini (0 or 1, all 0 unless set): FolderTotals\n"
        "(each folder's total size and files), SortFoldersByTotal, IncludeHidden,\n"
        "OneFileSystem, CountHardLinksOnce, SizeOnDisk. Folders on kernel pseudo file\n"
        "systems (/proc, /sys...) are never read unless the location lies on one.\n"
        "\n"
        "Exit status: 0 done, 1 failed, 2 wrong usage, 3 report written, but some\n"
        "folders or files could not be read (each is named on standard error), 130\n"
        "interrupted by Ctrl+C (the report of what was gathered so far is still\n"
        "written).\n");
}

int RunBatchJob(const BatchRequest& request, const std::function<void()>& eachStep)
{
    CatchInterrupt();

    Job job;
    QString error;
    if (!ReadJobFile(request.jobPath, job, &error)) {
        Tell(error);
        return kBatchFailed;
    }
    SaveFormat format = SaveFormat::PlainText;
    if (!request.outputPath.isEmpty()) {
        format = SaveFormatForPath(request.outputPath);
        if (format == SaveFormat::None && !IsListingOutput(request.outputPath) &&
            !IsPdfOutput(request.outputPath)) {
            Tell(QStringLiteral("%1: the output name holds none of \".txt\", \".rtf\", \".htm\"")
                     .arg(request.outputPath));
            return kBatchFailed;
        }
        if (!CheckOutput(request.outputPath, &error)) {
            Tell(error);
            return kBatchFailed;
        }
    }
    // Hand-written job files may hold "/data/" or a path relative to the job file.
    const QDir jobFolder = QFileInfo(request.jobPath).absoluteDir();
    for (ScanLocation& location : job.locations) {
        if (!location.path.isEmpty())
            location.path = QDir::cleanPath(jobFolder.absoluteFilePath(location.path));
    }
    if (job.locations.empty()) {
        Tell(QStringLiteral("%1: the job has no scan location").arg(request.jobPath));
        return kBatchFailed;
    }

    const SettingsStore store;
    const ReportSettings settings = LoadReportSettings(store);
    const ExclusionList exclusions = LoadExclusionList(ExclusionListPath());
    // This run's own report: another run replacing tmpfile.dmp meanwhile cannot swap it.
    const OwnStaging staging(SharedStagingPath());
    const QString& stagingPath = staging.path();
    bool incomplete = false;

    TerminalProgress terminal;
    ScanRun run;
    auto yield = [&] {
        if (eachStep)
            eachStep();
        if (g_interrupted && !run.cancelled())
            run.Cancel();
    };
    ProgressHooks progress;
    progress.yield = yield;
    progress.status = [&](const QString& text) { terminal.show(text); };
    auto decide = [&](const ErrorReport& report) {
        terminal.clear();
        Tell(ErrorLine(report));
        return ErrorChoice::Abort;
    };

    ReportChoices choices;
    choices.settings = settings;
    choices.font = ReportFont{job.fontName, job.fontSize, 0};
    choices.sort = DetailsSort{job.sortKey, job.ascending};
    choices.progress = progress;
    choices.decide = decide;
    // A file whose checksum cannot be read keeps its line; the report goes on.
    choices.unreadableDetail = [&](const std::string& path, const QString& reason) {
        terminal.clear();
        Tell(QStringLiteral("cannot read %1: %2")
                 .arg(QFile::decodeName(QByteArray::fromStdString(path)), reason));
        incomplete = true;
    };

    bool laidOut = false;
    ScanRunHooks hooks;
    hooks.progress = progress;
    hooks.decide = decide;
    const bool listing = IsListingOutput(request.outputPath);
    hooks.layout = [&](ReportType type, const RecordList& records, ScanCounters& counters,
                       bool* cancel) {
        if (listing) { // a listing is made from the records alone, no report is laid out
            laidOut = true;
            return;
        }
        laidOut = LayOutScan(type, records, counters, cancel, job.locations, choices, stagingPath);
    };

    run.setOptions(ScanOptionsOf(settings, job.ascending));
    const bool ran = run.Run(job.locations, exclusions, job.type, hooks);
    terminal.clear();
    if (!ran || !laidOut)
        return kBatchFailed;
    // Listed as empty folders in the report, as the window does; told here.
    for (const FolderNode* folder : run.unreadableFolders()) {
        Tell(QStringLiteral("cannot read the folder %1: %2")
                 .arg(FolderPathOf(folder),
                      QString::fromLocal8Bit(std::strerror(folder->readError))));
        incomplete = true;
    }
    // Files the walk could not look at keep their report lines with blank values; a listing
    // tells them itself, with whatever else of its entries could not be read.
    if (!listing) {
        for (const std::size_t k : run.unreadableFiles()) {
            const ScanRecord& record = run.records()[k];
            choices.unreadableDetail(
                record.folder->path() + record.name,
                QString::fromLocal8Bit(UnreadableReason(record.statError, 0).c_str()));
        }
    }
    // A listing lays out no report, so there is none to publish; the last one stays.
    if (!listing && !staging.publish(&error))
        Tell(error); // the output is still this run's whole report

    const bool written =
        listing ? WriteBatchListing(run.records(), job.locations, job.type, settings, exclusions,
                                    request.outputPath, &error, choices.unreadableDetail)
        : IsPdfOutput(request.outputPath) ? WriteBatchPdf(stagingPath, request.outputPath, &error)
                                          : WriteReport(stagingPath, request, format, job, &error);
    if (!written) {
        Tell(error);
        return kBatchFailed;
    }
    if (g_interrupted)
        return kBatchInterrupted;
    return incomplete ? kBatchIncomplete : kBatchDone;
}

int RunBatchMode(const QStringList& arguments)
{
    QString error;
    const std::optional<BatchRequest> request = ParseBatchArguments(arguments, &error);
    if (!request) {
        Tell(error + QStringLiteral(" (see quillon --help)"));
        return kBatchWrongUsage;
    }
    if (request->help) {
        QTextStream(stdout) << BatchUsage();
        return kBatchDone;
    }
    if (request->compare)
        return RunBatchCompare(*request);
    return RunBatchJob(*request);
}

} // namespace quillon
