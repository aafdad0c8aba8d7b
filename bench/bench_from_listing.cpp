// Figures of reports laid out of a saved listing (not a Google Benchmark: one run each, since a
// scan of a million files is the unit; bench/from_listing_figures.sh runs the three):
//   bench_from_listing scan TREE OUTDIR     scans TREE, lays out the report, writes the listing
//   bench_from_listing listing OUTDIR       lays the same report out of OUTDIR/listing.json
//   bench_from_listing merge OUTDIR         reads OUTDIR/listing.json and listing-b.json (the same
//                                           tree under another name), then merges the two
// Each prints the time of its steps (wall and user+sys) and the peak memory after them.
// Reports are Tree view with file size, with the default settings; the staging files
// OUTDIR/scan.dmp and OUTDIR/listing.dmp must be the same bytes.
#include "listing/JsonListingReader.h"
#include "listing/ListingRecords.h"
#include "listing/ListingWriter.h"
#include "report/Layouts.h"
#include "report/ReportType.h"
#include "scan/RecordSort.h"
#include "scan/Walker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>

using namespace quillon;

namespace {

constexpr ReportType kType = ReportType::TreeViewWithSize;

long PeakKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Step {
    QElapsedTimer clock;
    double cpu = CpuSeconds();
    Step() { clock.start(); }
    void print(const char* what) const
    {
        std::printf("%s: %.2f s wall, %.2f s cpu, peak %ld kB\n", what, clock.elapsed() / 1000.0,
                    CpuSeconds() - cpu, PeakKb());
    }
};

int Scan(const char* tree, const QString& out)
{
    ScanLocation location;
    location.path = QString::fromLocal8Bit(tree);
    location.level = QStringLiteral("All Levels");
    // The walk and the sort of a scan run, timed apart: a report from a listing has no walk.
    RecordList records;
    bool cancel = false;
    Step walk;
    {
        Walker walker(records, ExclusionList(), LocationPaths({location}), ProgressHooks(),
                      &cancel);
        walker.WalkLocation(QFile::encodeName(location.path).toStdString(), WalkSettings());
    }
    walk.print("walk");
    Step sort;
    SortRecords(records);
    sort.print("sort");
    Step layout;
    ScanCounters counters;
    if (!LayOutScan(kType, records, counters, &cancel, {location}, ReportChoices(),
                    out + QStringLiteral("/scan.dmp")))
        return 1;
    layout.print("layout of the scan");
    RecordListingSource source(records, MakeListingHeader({location}, kType, ReportSettings(), {}));
    QString error;
    if (!SaveListing(source, ListingFormat::Json, out + QStringLiteral("/listing.json"), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    return 0;
}

int FromListing(const QString& out)
{
    Step step;
    QFile file(out + QStringLiteral("/listing.json"));
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    JsonListingReader reader(file);
    ListingRecords records{ReportSettings()};
    records.reserve(static_cast<std::size_t>(file.size() / 100)); // as batch mode does
    if (!reader.open() || !records.add(reader, file.fileName())) {
        std::fprintf(stderr, "%s\n", qPrintable(reader.error() + records.error()));
        return 1;
    }
    records.finish();
    ScanCounters counters;
    bool cancel = false;
    if (!LayOutListingRecords(kType, records, counters, &cancel, ReportChoices(),
                              out + QStringLiteral("/listing.dmp")))
        return 1;
    step.print("report from the listing (read and layout)");
    return 0;
}

int Merge(const QString& out)
{
    const QStringList paths{out + QStringLiteral("/listing.json"),
                            out + QStringLiteral("/listing-b.json")};
    {
        Step step;
        std::size_t entries = 0;
        for (const QString& path : paths) {
            QFile file(path);
            JsonListingReader reader(file);
            ListingEntry entry;
            if (!file.open(QIODevice::ReadOnly) || !reader.open())
                return 1;
            while (reader.next(entry))
                ++entries;
        }
        std::printf("%zu entries; ", entries);
        step.print("reading both listings");
    }
    Step step;
    QFile a(paths[0]), b(paths[1]), merged(out + QStringLiteral("/merged.json"));
    JsonListingReader ra(a), rb(b);
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly) || !ra.open() || !rb.open() ||
        !merged.open(QIODevice::WriteOnly))
        return 1;
    QString error;
    if (!MergeListings({&ra, &rb}, paths, ListingFormat::Json, merged, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    step.print("merging them into one listing");
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "scan") == 0)
        return Scan(argv[2], QString::fromLocal8Bit(argv[3]));
    if (argc == 3 && std::strcmp(argv[1], "listing") == 0)
        return FromListing(QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && std::strcmp(argv[1], "merge") == 0)
        return Merge(QString::fromLocal8Bit(argv[2]));
    std::fprintf(stderr, "usage: bench_from_listing scan TREE OUTDIR | listing OUTDIR | "
                         "merge OUTDIR\n");
    return 2;
}
