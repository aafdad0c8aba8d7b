#include "app/BatchMode.h"

#include "app/BatchFromListing.h"
#include "app/BatchInterrupt.h"
#include "app/BatchListing.h"
#include "app/CommandOptions.h"
#include "app/JobFile.h"
#include "app/ScanRun.h"
#include "app/StandardOutput.h"
#include "details/FileDetails.h"
#include "listing/ListingRecords.h"
#include "listing/ListingWriter.h"
#include "output/HtmlExport.h"
#include "output/SaveFormat.h"
#include "platform/CheckedSave.h"
#include "platform/PathRules.h"
#include "platform/ProgramFolder.h"
#include "platform/SettingsStore.h"
#include "platform/StoppableInput.h"
#include "platform/StoredTexts.h"
#include "report/Layouts.h"
#include "report/OwnStaging.h"
#include "report/ScanSummary.h"
#include "rtf/RtfFiles.h"
#include "scan/ExclusionList.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sys/ioctl.h>
#include <unistd.h>

namespace quillon {

namespace {

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

    bool enabled() const { return m_enabled; }

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

bool ConvertStaging(const QString& stagingPath, QIODevice& out, bool richText, QString* error,
                    const std::function<bool()>& keepGoing)
{
    QFile staging(stagingPath);
    if (!staging.open(QIODevice::ReadOnly)) {
        *error =
            QStringLiteral("cannot read the report %1: %2").arg(stagingPath, staging.errorString());
        return false;
    }
    errno = 0;
    StoppableInput input(staging, keepGoing);
    const bool done = richText ? ConvertRtf(input, out) : ConvertRtfToPlainText(input, out);
    if (input.stopped()) {
        *error = QStringLiteral("stopped");
        return false;
    }
    if (!done) {
        // A failed write is the output's fault, not the report's. On a full disk the writer
        // stops at a short write that Qt does not count as an error: the reason then comes
        // from errno or the output's file system.
        const int err = errno;
        auto* file = qobject_cast<QFileDevice*>(&out);
        const QString reason = file ? WriteFailureReason(*file, err) : QString();
        if (file && staging.error() == QFileDevice::NoError &&
            (file->error() != QFileDevice::NoError || reason != QLatin1String("Unknown error")))
            *error = QStringLiteral("cannot write %1: %2").arg(file->fileName(), reason);
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

// After Ctrl+C during the scan the report of what was gathered is still written in full. A
// Ctrl+C while it is written stops it (keepGoing), dropping the new file. An empty target is
// standard output.
bool WriteReport(const QString& stagingPath, const QString& target, OutputKind kind, const Job& job,
                 QString* error, const std::function<bool()>& keepGoing)
{
    const bool richText = kind == OutputKind::RichText;
    if (target.isEmpty()) {
        StandardOutput out(keepGoing);
        if (!out.openDescriptor()) {
            *error = QStringLiteral("cannot write to standard output");
            return false;
        }
        if (!ConvertStaging(stagingPath, out, richText, error, keepGoing))
            return false;
        if (!out.flush()) {
            *error = QStringLiteral("cannot write to standard output: %1").arg(out.errorString());
            return false;
        }
        return true;
    }
    if (kind == OutputKind::Html) {
        HtmlExport exporter(stagingPath, target);
        exporter.setFont(job.fontName, job.fontSize);
        exporter.setYield([&] {
            if (keepGoing && !keepGoing())
                exporter.abandon();
        });
        if (!exporter.run()) {
            *error = exporter.errorString();
            return false;
        }
        return true;
    }
    QSaveFile out(target);
    QString reason;
    if (!OpenForReplace(out, &reason)) {
        *error = QStringLiteral("cannot write %1: %2").arg(target, reason);
        return false;
    }
    if (!ConvertStaging(stagingPath, out, richText, error, keepGoing)) {
        out.cancelWriting();
        return false;
    }
    if (!CommitChecked(out, &reason)) {
        *error = QStringLiteral("cannot write %1: %2").arg(target, reason);
        return false;
    }
    return true;
}

// The writers of web pages, listings and PDFs write files; for standard output they write one
// of this run's own, copied here whole.
bool CopyToStandardOutput(const QString& path, QString* error,
                          const std::function<bool()>& keepGoing)
{
    QFile in(path);
    StandardOutput out(keepGoing);
    if (!in.open(QIODevice::ReadOnly) || !out.openDescriptor()) {
        *error = QStringLiteral("cannot write to standard output");
        return false;
    }
    QByteArray block;
    while (!(block = in.read(1 << 16)).isEmpty()) {
        if (out.write(block) != block.size()) {
            *error = QStringLiteral("cannot write to standard output: %1").arg(out.errorString());
            return false;
        }
    }
    if (in.error() != QFileDevice::NoError || !out.flush()) {
        *error =
            QStringLiteral("cannot write to standard output: %1")
                .arg(in.error() != QFileDevice::NoError ? in.errorString() : out.errorString());
        return false;
    }
    return true;
}

// The command line's options over the job's fields; each location takes the scan options.
void ApplyOptions(const BatchRequest& request, Job& job)
{
    if (request.type)
        job.type = *request.type;
    if (!request.sortKey.isEmpty())
        job.sortKey = request.sortKey;
    if (request.ascending)
        job.ascending = *request.ascending;
    if (!request.fontName.isEmpty())
        job.fontName = request.fontName;
    if (!request.fontSize.isEmpty())
        job.fontSize = request.fontSize;
    for (ScanLocation& location : job.locations) {
        if (request.noSubfolders) {
            location.setSubFolders(false);
            location.level.clear();
        } else if (!request.level.isEmpty()) {
            location.setSubFolders(true);
            location.level = request.level;
        }
        if (!request.filter.isEmpty())
            location.filter = request.filter;
    }
}

// The summary options over the stored summaries; the window's settings are not changed.
void ApplySummaryOptions(const BatchRequest& request, SummarySettings& summary)
{
    if (request.summaryKinds) {
        summary.Top = request.summaryKinds->Top;
        summary.Types = request.summaryKinds->Types;
        summary.Duplicates = request.summaryKinds->Duplicates;
    }
    if (request.summaryAlone)
        summary.Alone = true;
    if (request.topCount > 0)
        summary.TopCount = request.topCount;
    if (request.sameBytes)
        summary.SameBytes = true;
}

// Fails early, before a long scan, when the output could never be written.
bool CheckOutput(const QString& path, QString* error)
{
    QSaveFile probe(path);
    QString reason;
    if (!OpenForReplace(probe, &reason)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, reason);
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

namespace {

// A choice's value: its index among the table's words, or -1 with *error set.
int ChoiceOf(const CommandOption& option, const QString& value, QString* error)
{
    const QStringList words = QString::fromLatin1(option.choices).split(QLatin1Char(' '));
    const qsizetype index = words.indexOf(value.toLower());
    if (index < 0)
        *error = QStringLiteral("%1: \"%2\" is not one of %3")
                     .arg(QLatin1String(option.name), value, words.join(QStringLiteral(", ")));
    return static_cast<int>(index);
}

// "*.mp3;*.flac" (or ".mp3", "mp3", with "," too) as a location's filter keeps it: ".mp3;.flac".
bool FilterOf(const QString& patterns, QString* filter)
{
    QStringList extensions;
    for (QString item : patterns.split(QRegularExpression(QStringLiteral("[;,]")))) {
        item = item.trimmed();
        if (item.isEmpty())
            continue;
        if (item == QLatin1String("*.*") || item == QLatin1String("*")) {
            *filter = QStringLiteral("*.*");
            return true;
        }
        if (item.startsWith(QLatin1Char('*')))
            item.remove(0, 1);
        if (!item.startsWith(QLatin1Char('.')))
            item.prepend(QLatin1Char('.'));
        // The filter is matched by the last extension of a name.
        if (item.size() < 2 || item.indexOf(QLatin1Char('.'), 1) >= 0 ||
            item.contains(QLatin1Char('*')) || item.contains(QLatin1Char('?')) ||
            item.contains(QLatin1Char('/')))
            return false;
        extensions += item;
    }
    if (extensions.isEmpty())
        return false;
    *filter = extensions.join(QLatin1Char(';'));
    return true;
}

const CommandOption* OptionNamed(const QString& argument, QString* inlineValue, bool* hasInline)
{
    *hasInline = false;
    for (const CommandOption& option : CommandOptions()) {
        const QString name = QString::fromLatin1(option.name);
        if (argument == name || (*option.shortName && argument == QLatin1String(option.shortName)))
            return &option;
        if (*option.argument && argument.startsWith(name + QLatin1Char('='))) {
            *inlineValue = argument.mid(name.size() + 1);
            *hasInline = true;
            return &option;
        }
    }
    return nullptr;
}

// The command line as it is read: what came before decides what may follow.
struct ArgumentReader {
    ArgumentReader(const QStringList& list, QString* message) : arguments(list), error(message) {}

    const QStringList& arguments;
    QString* error;
    BatchRequest request;
    bool haveJob = false;
    bool haveOutput = false;
    bool report = false;
    QStringList reportOnly; // options that mean nothing to --compare
    QList<OptionId> seen;

    bool Read(qsizetype& i);
    bool AddPath(const QString& path);
    bool TakeValue(const CommandOption& option, const QString& argument, bool hasInline,
                   qsizetype& i, QString& value);
    bool Apply(const CommandOption& option, const QString& value, qsizetype& i);
    bool ApplyReportOption(const CommandOption& option, const QString& value);
    bool ApplyChoice(const CommandOption& option, const QString& value);
    bool ApplyDepth(const QString& value);
    bool ApplySummary(const QString& value);
    bool NumberFrom1(const char* name, const QString& value, int last, int* number);
    bool Finish();
};

// A --report path: a folder is scanned, anything else names the job file as before.
bool ArgumentReader::AddPath(const QString& path)
{
    if (QFileInfo(path).isDir()) {
        request.folders += path;
        return true;
    }
    if (path.endsWith(QLatin1String(".json"), Qt::CaseInsensitive)) {
        request.listings += path;
        return true;
    }
    if (haveJob) {
        *error =
            QStringLiteral("one job file at a time (\"%1\" and \"%2\")").arg(request.jobPath, path);
        return false;
    }
    haveJob = true;
    request.jobPath = path;
    return true;
}

// Reads arguments[i] (and the value it takes, moving i past it).
bool ArgumentReader::Read(qsizetype& i)
{
    const QString& argument = arguments[i];
    if (report && !argument.startsWith(QLatin1Char('-')) && !argument.isEmpty())
        return AddPath(argument);
    QString value;
    bool hasInline = false;
    const CommandOption* option = OptionNamed(argument, &value, &hasInline);
    if (!option) {
        *error = QStringLiteral("unknown argument \"%1\"").arg(argument);
        return false;
    }
    if (*option->argument && option->id != OptionId::Compare &&
        !TakeValue(*option, argument, hasInline, i, value))
        return false;
    seen += option->id;
    return Apply(*option, value, i);
}

// An option's value, inline ("--type=tree") or the next argument; each such option once.
bool ArgumentReader::TakeValue(const CommandOption& option, const QString& argument, bool hasInline,
                               qsizetype& i, QString& value)
{
    const OptionId id = option.id;
    const QString name = id == OptionId::Output && argument == "-o"
                             ? QStringLiteral("-o")
                             : QString::fromLatin1(option.name);
    if (seen.contains(id) || (id == OptionId::Job && haveJob)) {
        *error = QStringLiteral("%1 given twice").arg(name);
        return false;
    }
    if (!hasInline) {
        if (i + 1 >= arguments.size()) {
            value.clear();
        } else {
            value = arguments[++i];
        }
    }
    if (value.isEmpty()) {
        const bool file = option.value == OptionValue::Path;
        *error =
            QStringLiteral("%1 needs %2")
                .arg(name,
                     file ? QStringLiteral("a file name")
                          : QStringLiteral("a value (%1)").arg(QLatin1String(option.argument)));
        return false;
    }
    return true;
}

bool ArgumentReader::Apply(const CommandOption& option, const QString& value, qsizetype& i)
{
    switch (option.id) {
    case OptionId::Help:
        request.help = true;
        return true;
    case OptionId::Version: // handled before batch mode; harmless here
        return true;
    case OptionId::Report:
        report = true;
        return AddPath(value);
    case OptionId::Job:
        haveJob = true;
        request.jobPath = value;
        return true;
    case OptionId::Compare:
        if (request.compare || i + 2 >= arguments.size()) {
            *error = QStringLiteral("--compare needs two folders or listings");
            return false;
        }
        request.compare = true;
        request.compareA = arguments[++i];
        request.compareB = arguments[++i];
        return true;
    case OptionId::Crc:
        request.crc = true;
        return true;
    case OptionId::Threads:
        return NumberFrom1("--threads", value, kMaxWalkThreads, &request.threads);
    case OptionId::Output:
        haveOutput = true;
        request.outputPath = value;
        return true;
    default:
        // The rest shape the report only; --compare refuses them by the first one's name.
        if (!ApplyReportOption(option, value))
            return false;
        reportOnly += QString::fromLatin1(option.name);
        return true;
    }
}

bool ArgumentReader::ApplyReportOption(const CommandOption& option, const QString& value)
{
    switch (option.id) {
    case OptionId::Format:
    case OptionId::Type:
    case OptionId::Sort:
        return ApplyChoice(option, value);
    case OptionId::Descending:
    case OptionId::Ascending:
        if (request.ascending) {
            *error = QStringLiteral("--ascending and --descending: one order at a time");
            return false;
        }
        request.ascending = option.id == OptionId::Ascending;
        return true;
    case OptionId::Depth:
        return ApplyDepth(value);
    case OptionId::NoSubfolders:
        request.noSubfolders = true;
        return true;
    case OptionId::Types:
        if (!FilterOf(value, &request.filter)) {
            *error = QStringLiteral("--types: \"%1\" is not a list of file types such as "
                                    "\"*.mp3;*.flac\"")
                         .arg(value);
            return false;
        }
        return true;
    case OptionId::Font:
        request.fontName = value;
        return true;
    case OptionId::Size: {
        int size = 0;
        if (!NumberFrom1("--size", value, 999, &size))
            return false;
        request.fontSize = QString::number(size);
        return true;
    }
    case OptionId::Summary:
        return ApplySummary(value);
    case OptionId::SummaryAlone:
        request.summaryAlone = true;
        return true;
    case OptionId::Top:
        return NumberFrom1("--top", value, kMaxTopCount, &request.topCount);
    case OptionId::SameBytes:
        request.sameBytes = true;
        return true;
    default:
        return true;
    }
}

// --format, --type and --sort: a word of the option's table, by its place there.
bool ArgumentReader::ApplyChoice(const CommandOption& option, const QString& value)
{
    static constexpr OutputKind kKinds[] = {
        OutputKind::PlainText, OutputKind::RichText, OutputKind::Html,   OutputKind::Csv,
        OutputKind::Json,      OutputKind::Pdf,      OutputKind::WebPage};
    static constexpr ReportType kTypes[] = {ReportType::ListInDetails, ReportType::TreeView,
                                            ReportType::TreeViewWithSize, ReportType::FolderList};
    const int index = ChoiceOf(option, value, error);
    if (index < 0)
        return false;
    if (option.id == OptionId::Format)
        request.format = kKinds[index];
    else if (option.id == OptionId::Type)
        request.type = kTypes[index];
    else
        request.sortKey = QStringList{"Name", "Size", "Date"}[index];
    return true;
}

bool ArgumentReader::ApplySummary(const QString& value)
{
    SummarySettings kinds;
    if (!ParseSummaryKinds(value, kinds)) {
        *error = QStringLiteral("--summary: \"%1\" is not a list of top, types, "
                                "duplicates or all")
                     .arg(value);
        return false;
    }
    request.summaryKinds = kinds;
    return true;
}

bool ArgumentReader::ApplyDepth(const QString& value)
{
    bool number = false;
    const int depth = value.toInt(&number);
    if (value.compare(QLatin1String("all"), Qt::CaseInsensitive) == 0 || (number && depth == 0)) {
        request.level = kAllLevels;
    } else if (number && depth > 0 && depth <= 32767) { // the scan's 16-bit level
        request.level = QString::number(depth);
    } else {
        *error =
            QStringLiteral("--depth: \"%1\" is not a number from 0 to 32767 or \"all\"").arg(value);
        return false;
    }
    return true;
}

bool ArgumentReader::NumberFrom1(const char* name, const QString& value, int last, int* number)
{
    bool ok = false;
    const int parsed = value.toInt(&ok);
    if (!ok || parsed < 1 || parsed > last) {
        *error = QStringLiteral("%1: \"%2\" is not a number from 1 to %3")
                     .arg(QLatin1String(name), value)
                     .arg(last);
        return false;
    }
    *number = parsed;
    return true;
}

// What the options say together, once all are read.
bool ArgumentReader::Finish()
{
    if (request.help)
        return true;
    if (request.compare) {
        if (!reportOnly.isEmpty()) {
            *error = QStringLiteral("%1 works with --report, not with --compare")
                         .arg(reportOnly.front());
            return false;
        }
        return true;
    }
    if (!request.listings.isEmpty()) {
        // A listing holds what its scan took; nothing is walked again to filter it.
        const QString scanOnly = haveJob                          ? QStringLiteral("a job file")
                                 : !request.folders.empty()       ? QStringLiteral("a folder")
                                 : seen.contains(OptionId::Depth) ? QStringLiteral("--depth")
                                 : request.noSubfolders ? QStringLiteral("--no-subfolders")
                                 : seen.contains(OptionId::Types) ? QStringLiteral("--types")
                                                                  : QString();
        if (!scanOnly.isEmpty()) {
            *error = QStringLiteral("%1 does not go with a listing (%2): a listing is not "
                                    "scanned again")
                         .arg(scanOnly, request.listings.front());
            return false;
        }
        return true;
    }
    if (!request.level.isEmpty() && request.noSubfolders) {
        *error = QStringLiteral("--depth and --no-subfolders: one at a time");
        return false;
    }
    if (!haveJob && request.folders.isEmpty()) {
        *error =
            haveOutput ? QStringLiteral("-o needs --report JOB") : QStringLiteral("no job given");
        return false;
    }
    return true;
}

} // namespace

std::optional<BatchRequest> ParseBatchArguments(const QStringList& arguments, QString* error)
{
    ArgumentReader reader{arguments, error};
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (!reader.Read(i))
            return std::nullopt;
    }
    if (!reader.Finish())
        return std::nullopt;
    return reader.request;
}

QString BatchUsage()
{
    return QStringLiteral(
               "Usage: quillon [JOB.qjb | FOLDER]\n"
               "       quillon --report JOB|FOLDER... [--type TYPE] [--sort KEY]\n"
               "               [--descending] [--depth N] [--no-subfolders]\n"
               "               [--types PATTERNS] [--font NAME] [--size N]\n"
               "               [--summary KINDS] [--summary-alone] [--top N]\n"
               "               [--same-bytes] [-o FILE] [--format KIND]\n"
               "       quillon --report LISTING.json... [--type TYPE] [--sort KEY]\n"
               "               [--descending] [--font NAME] [--size N] [-o FILE]\n"
               "       quillon --compare A B [-o FILE] [--job JOB] [--crc]\n"
               "       quillon --help | --version\n"
               "\n"
               "Without --report Quillon opens its window, with the job file JOB.qjb when one\n"
               "is given, scanning FOLDER when that is given, else with the job of the last\n"
               "session.\n"
               "\n") +
           OptionsUsage() +
           QStringLiteral(
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

bool BatchWritesPdf(const QStringList& arguments)
{
    if (std::any_of(arguments.begin(), arguments.end(), IsPdfOutput))
        return true;
    QString error;
    const std::optional<BatchRequest> request = ParseBatchArguments(arguments, &error);
    return request && request->format == OutputKind::Pdf;
}

namespace {

// Without a job file, the job a new window starts with: List In Details by name,
// ascending, Courier New 10.
bool ReadRequestJob(const BatchRequest& request, Job& job)
{
    QString error;
    // "--report /home/ann/Musik", mistyped, is more likely a folder than a job file.
    if (!request.jobPath.isEmpty() && !QFileInfo::exists(request.jobPath) &&
        !request.jobPath.endsWith(QLatin1String(".qjb"), Qt::CaseInsensitive)) {
        Tell(QStringLiteral("%1: no such folder or job file").arg(request.jobPath));
        return false;
    }
    if (!request.jobPath.isEmpty() && !ReadJobFile(request.jobPath, job, &error)) {
        Tell(error);
        return false;
    }
    return true;
}

// Where a batch report goes and in which form.
struct BatchOutput {
    OutputKind kind = OutputKind::None;
    bool toStandardOutput = false;
    bool listing = false;     // made from the records, as the web page is too
    bool throughFile = false; // to standard output by way of a temporary file
};

bool PlanOutput(const BatchRequest& request, BatchOutput& out)
{
    QString error;
    out.toStandardOutput = request.outputPath.isEmpty() || request.outputPath == QLatin1String("-");
    out.kind = request.format;
    if (out.kind == OutputKind::None)
        out.kind = out.toStandardOutput ? OutputKind::PlainText
                                        : OutputKindForPath(request.outputPath, kReportOutputs);
    if (out.kind == OutputKind::None) {
        Tell(OutputNameRefusal(request.outputPath, kReportOutputs));
        return false;
    }
    if (!out.toStandardOutput && !CheckOutput(request.outputPath, &error)) {
        Tell(error);
        return false;
    }
    out.listing = out.kind == OutputKind::Csv || out.kind == OutputKind::Json ||
                  out.kind == OutputKind::WebPage;
    // Text and rich text go to standard output as they are converted; the rest through a file.
    out.throughFile = out.toStandardOutput && out.kind != OutputKind::PlainText &&
                      out.kind != OutputKind::RichText;
    return true;
}

void AddRequestLocations(const BatchRequest& request, Job& job)
{
    // Hand-written job files may hold "/data/" or a path relative to the job file.
    const QDir jobFolder = QFileInfo(request.jobPath).absoluteDir();
    for (ScanLocation& location : job.locations) {
        if (!location.path.isEmpty())
            location.path = QDir::cleanPath(jobFolder.absoluteFilePath(location.path));
    }
    // Folders of the command line as the location dialog adds them: every level, every file.
    for (const QString& folder : request.folders) {
        ScanLocation location;
        location.path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
        location.level = kAllLevels;
        job.locations.push_back(location);
    }
}

// Tells what the walk could not read; true when there was any.
bool TellUnreadable(const ScanRun& run, bool listing, const ReportChoices& choices)
{
    bool told = false;
    // Listed as empty folders in the report, as the window does; told here.
    for (const FolderNode* folder : run.unreadableFolders()) {
        Tell(QStringLiteral("cannot read the folder %1: %2")
                 .arg(FolderPathOf(folder),
                      QString::fromLocal8Bit(std::strerror(folder->readError))));
        told = true;
    }
    // Files the walk could not look at keep their report lines with blank values; a listing
    // tells them itself, with whatever else of its entries could not be read.
    if (!listing) {
        for (const std::size_t k : run.unreadableFiles()) {
            const ScanRecord& record = run.records()[k];
            choices.unreadableDetail(
                record.fullPath(),
                QString::fromLocal8Bit(UnreadableReason(record.statError, 0).c_str()));
            told = true;
        }
    }
    return told;
}

// A settings file or exclusion list that cannot be read would give another report than
// the window's, without a word.
bool LoadBatchSettings(const BatchRequest& request, ReportSettings& settings,
                       ExclusionList& exclusions)
{
    const SettingsStore store;
    if (const QString unusable = store.errorString(); !unusable.isEmpty()) {
        Tell(unusable);
        return false;
    }
    settings = LoadReportSettings(store);
    ApplySummaryOptions(request, settings.Summary);
    QString error;
    exclusions = LoadExclusionList(ExclusionListPath(), &error);
    if (!error.isEmpty()) {
        Tell(error);
        return false;
    }
    return true;
}

// A report laid out of saved listings instead of a scan; kBatchDone or the exit status.
int LayOutListings(const BatchRequest& request, const ReportSettings& settings,
                   const ReportChoices& choices, const std::function<void()>& yield, Job& job,
                   const QString& stagingPath)
{
    QString error;
    ListingRecords records(settings);
    records.setUnreadHook([&](const std::string& path, const QString& what) {
        choices.unreadableDetail(path,
                                 what + QStringLiteral(" not read when the listing was made"));
    });
    if (!ReadListingFiles(request.listings, records, &error,
                          [] { return InterruptCount() == 0; })) {
        Tell(InterruptCount() > 0 ? QStringLiteral("interrupted") : error);
        return InterruptCount() > 0 ? kBatchInterrupted : kBatchFailed;
    }
    const ReportType type = request.type ? *request.type : records.reportType();
    for (const QString& lack : records.lacks(type))
        Tell(lack);
    job.locations = records.locations();
    bool cancel = false;
    ReportChoices laying = choices;
    laying.progress.yield = [&] {
        yield();
        cancel = cancel || InterruptCount() > 0;
    };
    ScanCounters counters;
    return LayOutListingRecords(type, records, counters, &cancel, laying, stagingPath)
               ? kBatchDone
               : kBatchFailed;
}

// Writes the report, listing or PDF once the scan is done; the run's exit status.
// incomplete is read at the end: choices.unreadableDetail sets it while a listing is written.
int WriteBatchOutput(const BatchRequest& request, const BatchOutput& out, const QString& target,
                     const Job& job, const ReportSettings& settings,
                     const ExclusionList& exclusions, const RecordList& records,
                     const QString& stagingPath, const ReportChoices& choices,
                     const bool& incomplete)
{
    const OutputKind kind = out.kind;
    const bool fromListings = !request.listings.isEmpty();
    QString error;
    // An output stops on a Ctrl+C that comes while it is written and leaves the old file as it
    // was. After a Ctrl+C during the scan the handler is set again, so the second one also
    // stops cleanly.
    const int interruptsBefore = InterruptCount();
    if (interruptsBefore > 0)
        ArmInterrupt();
    const auto keepGoing = [&] { return InterruptCount() == interruptsBefore; };
    const ListingFormat format = kind == OutputKind::Csv    ? ListingFormat::Csv
                                 : kind == OutputKind::Json ? ListingFormat::Json
                                                            : ListingFormat::WebPage;
    const bool written =
        (fromListings && out.listing
             ? MergeListingFiles(request.listings, format, target, &error, keepGoing, Tell)
         : out.listing
             ? WriteBatchListing(records, job.locations, job.type, settings, exclusions, format,
                                 target, &error, keepGoing, choices.unreadableDetail)
         : kind == OutputKind::Pdf
             ? WriteBatchPdf(stagingPath, target, &error, keepGoing)
             : WriteReport(stagingPath, target, kind, job, &error, keepGoing)) &&
        (!out.throughFile || CopyToStandardOutput(target, &error, keepGoing));
    if (!written && !keepGoing()) {
        Tell(out.toStandardOutput
                 ? QStringLiteral("interrupted")
                 : QStringLiteral("interrupted: %1 was left as it was").arg(request.outputPath));
        return kBatchInterrupted;
    }
    if (!written) {
        Tell(error);
        return kBatchFailed;
    }
    if (InterruptCount() > 0)
        return kBatchInterrupted;
    return incomplete ? kBatchIncomplete : kBatchDone;
}

// One batch run; the callbacks handed to the scan and the layout share this state.
class BatchJobRun {
public:
    BatchJobRun(const BatchRequest& request, const std::function<void()>& eachStep)
        : m_request(request), m_eachStep(eachStep)
    {}

    int Run()
    {
        if (const int failed = Prepare(); failed != kBatchDone)
            return failed;
        SetUpChoices();
        return ScanAndWrite();
    }

private:
    // Reads the job, plans the output and loads the settings; kBatchDone or the exit status.
    int Prepare()
    {
        if (!ReadRequestJob(m_request, m_job) || !PlanOutput(m_request, m_out))
            return kBatchFailed;
        m_pipeFolder.emplace(QDir::tempPath() + QStringLiteral("/quillon-XXXXXX"));
        m_target = m_out.toStandardOutput ? QString() : m_request.outputPath;
        if (m_out.throughFile) {
            if (!m_pipeFolder->isValid()) {
                Tell(QStringLiteral("cannot make a temporary folder in %1: %2")
                         .arg(QDir::tempPath(), m_pipeFolder->errorString()));
                return kBatchFailed;
            }
            m_target = m_pipeFolder->filePath(QStringLiteral("output"));
        }
        AddRequestLocations(m_request, m_job);
        ApplyOptions(m_request, m_job);
        // Saved listings stand for the scan: a listing output merges them, anything else is a
        // report laid out of them.
        m_fromListings = !m_request.listings.isEmpty();
        if (m_job.locations.empty() && !m_fromListings) {
            Tell(QStringLiteral("%1: the job has no scan location").arg(m_request.jobPath));
            return kBatchFailed;
        }
        if (!LoadBatchSettings(m_request, m_settings, m_exclusions))
            return kBatchFailed;
        // This run's own report: another run replacing tmpfile.dmp meanwhile cannot swap it.
        m_staging.emplace(SharedStagingPath());
        return kBatchDone;
    }

    void Yield()
    {
        if (m_eachStep)
            m_eachStep();
        if (InterruptCount() > 0 && !m_run.cancelled())
            m_run.Cancel();
    }

    ErrorChoice Decide(const ErrorReport& report)
    {
        m_terminal.clear();
        Tell(ErrorLine(report));
        return ErrorChoice::Abort;
    }

    void SetUpChoices()
    {
        m_progress.yield = [this] { Yield(); };
        if (m_terminal.enabled()) // else no layout makes its progress texts
            m_progress.status = [this](const QString& text) { m_terminal.show(text); };
        m_choices.settings = m_settings;
        m_choices.font = ReportFont{m_job.fontName, m_job.fontSize, 0};
        m_choices.sort = DetailsSort{m_job.sortKey, m_job.ascending};
        m_choices.progress = m_progress;
        m_choices.decide = [this](const ErrorReport& report) { return Decide(report); };
        // A file whose checksum cannot be read keeps its line; the report goes on.
        m_choices.unreadableDetail = [this](const std::string& path, const QString& reason) {
            m_terminal.clear();
            Tell(QStringLiteral("cannot read %1: %2")
                     .arg(QFile::decodeName(QByteArray::fromStdString(path)), reason));
            m_incomplete = true;
        };
    }

    ScanRunHooks MakeHooks()
    {
        ScanRunHooks hooks;
        hooks.progress = m_progress;
        hooks.decide = [this](const ErrorReport& report) { return Decide(report); };
        hooks.layout = [this](ReportType type, const RecordList& records, ScanCounters& counters,
                              bool* cancel) {
            if (m_out.listing) { // a listing is made from the records alone, no report is laid out
                m_laidOut = true;
                return;
            }
            m_laidOut = LayOutScan(type, records, counters, cancel, m_job.locations, m_choices,
                                   m_staging->path());
        };
        return hooks;
    }

    int ScanAndWrite()
    {
        const bool listing = m_out.listing;
        const QString& stagingPath = m_staging->path();
        if (m_fromListings && !listing) {
            if (const int failed = LayOutListings(
                    m_request, m_settings, m_choices, [this] { Yield(); }, m_job, stagingPath);
                failed != kBatchDone)
                return failed;
            m_laidOut = true;
        }
        ScanRunHooks hooks = MakeHooks();
        // The duplicates' first blocks are read on the other core as the walk finds the files.
        std::unique_ptr<DuplicatesFeed> feed;
        if (m_settings.Summary.duplicatesAhead() && !listing && !m_fromListings) {
            feed = std::make_unique<DuplicatesFeed>();
            hooks.fileSeen = feed.get();
            m_choices.duplicatesFeed = feed.get();
        }
        ScanOptions options = ScanOptionsOf(m_settings, m_job.ascending);
        if (m_request.threads != 0)
            options.threads = m_request.threads;
        m_run.setOptions(options);
        const bool ran =
            m_fromListings || m_run.Run(m_job.locations, m_exclusions, m_job.type, hooks);
        m_choices.duplicatesFeed = nullptr;
        feed.reset();
        m_terminal.clear();
        if (!ran || (!m_laidOut && !m_fromListings))
            return kBatchFailed;
        if (TellUnreadable(m_run, listing, m_choices))
            m_incomplete = true;
        // A listing lays out no report, so there is none to publish; the last one stays.
        QString error;
        if (!listing && !m_staging->publish(&error))
            Tell(error); // the output is still this run's whole report

        return WriteBatchOutput(m_request, m_out, m_target, m_job, m_settings, m_exclusions,
                                m_run.records(), stagingPath, m_choices, m_incomplete);
    }

    const BatchRequest& m_request;
    const std::function<void()>& m_eachStep;
    Job m_job;
    BatchOutput m_out;
    std::optional<QTemporaryDir> m_pipeFolder;
    QString m_target;
    bool m_fromListings = false;
    ReportSettings m_settings;
    ExclusionList m_exclusions;
    std::optional<OwnStaging> m_staging;
    bool m_incomplete = false;
    TerminalProgress m_terminal;
    ScanRun m_run;
    ProgressHooks m_progress;
    ReportChoices m_choices;
    bool m_laidOut = false;
};

} // namespace

int RunBatchJob(const BatchRequest& request, const std::function<void()>& eachStep)
{
    // Ctrl+C once cancels like the Cancel command: the report of what was gathered is still
    // written. The handler is then reset, so a second Ctrl+C ends the program at once for a
    // user who does not want to wait for the report.
    CatchInterrupt();
    return BatchJobRun(request, eachStep).Run();
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
