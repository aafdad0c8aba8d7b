// Batch mode's outputs beyond the report: listings, PDF, and the comparison of two scans.
#include "app/BatchListing.h"

#include "app/BatchMode.h"
#include "app/JobFile.h"
#include "listing/CompareReport.h"
#include "listing/JsonListingReader.h"
#include "listing/ListingWriter.h"
#include "output/PdfReport.h"
#include "output/SaveFormat.h"
#include "platform/ProgramFolder.h"
#include "platform/SettingsStore.h"
#include "platform/StoredTexts.h"
#include "report/ReportSettings.h"
#include "scan/ScanRun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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
    side.file = std::make_unique<QFile>(argument);
    if (!side.file->open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(argument, side.file->errorString());
        return false;
    }
    auto reader = std::make_unique<JsonListingReader>(*side.file);
    if (!reader->open()) {
        *error = QStringLiteral("%1: %2").arg(argument, reader->error());
        return false;
    }
    side.source = std::move(reader);
    return true;
}

} // namespace

bool IsListingOutput(const QString& path)
{
    return ListingFormatForPath(path) != ListingFormat::None;
}

bool IsPdfOutput(const QString& path)
{
    return QFileInfo(path).fileName().endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
}

bool WriteBatchListing(const RecordList& records, const ScanLocationList& locations,
                       ReportType type, const ReportSettings& settings,
                       const ExclusionList& exclusions, const QString& path, QString* error,
                       const std::function<void(const std::string&, const QString&)>& unreadable)
{
    RecordListingSource source(records, MakeListingHeader(locations, type, settings, exclusions));
    source.setUnreadableHook(unreadable);
    source.setSizeChoices(settings.FolderTotals, settings.SizeOnDisk, settings.IncludeHidden);
    return SaveListing(source, ListingFormatForPath(path), path, error);
}

bool WriteBatchPdf(const QString& stagingPath, const QString& path, QString* error)
{
    const SettingsStore store;
    return WritePdfReportFromRtf(stagingPath, LoadPageMargins(store), path, error);
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
    if (!request.outputPath.isEmpty() && !IsListingOutput(request.outputPath) &&
        SaveFormatForPath(request.outputPath) == SaveFormat::None) {
        Complain(QStringLiteral("%1: the output name holds none of \".txt\", \".rtf\", \".htm\", "
                                "\".csv\", \".json\"")
                     .arg(request.outputPath));
        return kTrouble;
    }

    ListingColumns columns;
    columns.crc32 = request.crc;
    const ExclusionList exclusions = LoadExclusionList(ExclusionListPath());

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
    if (request.outputPath.isEmpty()) {
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
