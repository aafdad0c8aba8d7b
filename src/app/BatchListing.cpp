// Batch mode's outputs beyond the report: listings, PDF, and the comparison of two scans.
#include "app/BatchListing.h"

#include "app/BatchMode.h"
#include "app/JobFile.h"
#include "listing/CompareReport.h"
#include "listing/JsonListingReader.h"
#include "listing/ListingWriter.h"
#include "output/PdfReport.h"
#include "output/SaveFormat.h"
#include "platform/BoundedRead.h"
#include "platform/CheckedSave.h"
#include "platform/ProgramFolder.h"
#include "platform/SettingsStore.h"
#include "platform/StoredTexts.h"
#include "report/ReportSettings.h"
#include "scan/ScanRun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace quillon {

namespace {

void Complain(const QString& line)
{
    const QByteArray text = "quillon: " + line.toLocal8Bit() + "\n";
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stderr);
}

// One side of a comparison: a folder scanned now, or a JSON listing read as it goes.
struct CompareSide {
    std::unique_ptr<ScanRun> run;
    std::unique_ptr<QFile> file;
    std::unique_ptr<ListingSource> source;
};

bool OpenSide(const QString& argument, const ScanLocation& options, const ListingColumns& columns,
              const ExclusionList& exclusions, CompareSide& side, QString* error)
{
    const QFileInfo info(argument);
    if (info.isDir()) {
        ScanLocation location = options;
        location.path = QDir::cleanPath(info.absoluteFilePath());
        location.icon = ScanLocation::kScanIcon;
        side.run = std::make_unique<ScanRun>();
        ScanRunHooks hooks;
        // Tree view: the records of a tree report hold the folders too.
        if (!side.run->Run({location}, exclusions, ReportType::TreeView, hooks)) {
            *error = QStringLiteral("cannot scan %1").arg(argument);
            return false;
        }
        ListingHeader header;
        header.locations = {location};
        header.reportType = ReportTypeName(ReportType::TreeView);
        header.columns = columns;
        side.source = std::make_unique<RecordListingSource>(side.run->records(), header);
        return true;
    }
    side.file = std::make_unique<QFile>();
    QString reason;
    if (!OpenRegularFile(argument, *side.file, nullptr, &reason)) {
        *error = QStringLiteral("cannot read %1: %2").arg(argument, reason);
        return false;
    }
    // The reader's messages name the listing, also those of an entry met during the comparison.
    auto reader = std::make_unique<JsonListingReader>(*side.file, argument);
    if (!reader->open()) {
        *error = reader->error();
        return false;
    }
    side.source = std::move(reader);
    return true;
}

} // namespace

bool IsListingOutput(const QString& path)
{
    const OutputKind kind = OutputKindForPath(path, kReportOutputs);
    return kind == OutputKind::Csv || kind == OutputKind::Json;
}

bool IsPdfOutput(const QString& path)
{
    return OutputKindForPath(path, kReportOutputs) == OutputKind::Pdf;
}

bool WriteBatchListing(const RecordList& records, const ScanLocationList& locations,
                       ReportType type, const ReportSettings& settings,
                       const ExclusionList& exclusions, ListingFormat format, const QString& path,
                       QString* error, const std::function<bool()>& keepGoing)
{
    RecordListingSource source(records, MakeListingHeader(locations, type, settings, exclusions));
    bool stopped = false;
    const auto stop = [&] {
        stopped = stopped || (keepGoing && !keepGoing());
        return stopped;
    };
    source.setInterrupt(stop);
    QString reason;
    // Written here rather than by SaveListing, which keeps a listing cut short: a stopped one
    // must leave the old file alone.
    const bool saved = SaveChecked(
        path,
        [&](QSaveFile& file, QString* why) {
            const bool written =
                WriteListing(source, format, file, why, [&](std::size_t) { return !stop(); });
            if (stopped)
                *why = QStringLiteral("stopped");
            return written && !stopped;
        },
        &reason);
    if (!saved)
        *error = QStringLiteral("cannot write %1: %2").arg(path, reason);
    return saved;
}

bool WriteBatchPdf(const QString& stagingPath, const QString& path, QString* error,
                   const std::function<bool()>& keepGoing)
{
    const SettingsStore store;
    return WritePdfReportFromRtf(stagingPath, LoadPageMargins(store), path, error, keepGoing);
}

int RunBatchCompare(const BatchRequest& request)
{
    constexpr int kSame = 0;
    constexpr int kDifferent = 1;
    constexpr int kTrouble = 2;

    Job job;
    QString error;
    if (!request.jobPath.isEmpty() && !ReadJobFile(request.jobPath, job, &error)) {
        Complain(error);
        return kTrouble;
    }
    // The first location of the job says how deep and which files; its path is not used.
    ScanLocation options;
    options.level = kAllLevels;
    if (!request.jobPath.isEmpty() && !job.locations.empty())
        options = job.locations.front();
    // "-o -" is standard output, as for a report.
    const bool toStandardOutput =
        request.outputPath.isEmpty() || request.outputPath == QLatin1String("-");
    if (!toStandardOutput &&
        OutputKindForPath(request.outputPath, kCompareOutputs) == OutputKind::None) {
        Complain(OutputNameRefusal(request.outputPath, kCompareOutputs));
        return kTrouble;
    }

    ListingColumns columns;
    columns.crc32 = request.crc;
    const ExclusionList exclusions = LoadExclusionList(ExclusionListPath(), &error);
    if (!error.isEmpty()) {
        Complain(error);
        return kTrouble;
    }

    CompareSide a, b;
    if (!OpenSide(request.compareA, options, columns, exclusions, a, &error) ||
        !OpenSide(request.compareB, options, columns, exclusions, b, &error)) {
        Complain(error);
        return kTrouble;
    }
    CompareResult result;
    result.labelA = request.compareA;
    result.labelB = request.compareB;
    if (!CompareListings(*a.source, *b.source, result, &error)) {
        Complain(error);
        return kTrouble;
    }
    if (toStandardOutput) {
        QFile out;
        if (!out.open(STDOUT_FILENO, QIODevice::WriteOnly, QFileDevice::DontCloseHandle) ||
            !WriteCompareText(CompareReportLines(result), out) || !out.flush()) {
            Complain(QStringLiteral("cannot write to standard output"));
            return kTrouble;
        }
    } else if (!SaveCompareResult(result, ReportFont{job.fontName, job.fontSize, 0},
                                  request.outputPath, &error)) {
        Complain(error);
        return kTrouble;
    }
    return result.same() ? kSame : kDifferent;
}

} // namespace quillon
