// Figures of listings and comparisons over a large tree (not a Google Benchmark: one run each,
// since a scan of a million files is the unit):
//   bench_listing TREE OUTDIR
// scans TREE as a Tree view, writes OUTDIR/listing.json and OUTDIR/listing.csv, and prints the
// time of each step and the peak memory after it. Compare two listings with
//   /usr/bin/time quillon --compare OUTDIR/listing.json OTHER.json
#include "app/ScanRun.h"
#include "listing/ListingWriter.h"
#include "report/ReportSettings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <sys/resource.h>

using namespace quillon;

namespace {

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

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_listing TREE OUTDIR\n");
        return 2;
    }
    ScanLocation location;
    location.path = QString::fromLocal8Bit(argv[1]);
    location.level = QStringLiteral("All Levels");
    const QString out = QString::fromLocal8Bit(argv[2]);

    QElapsedTimer clock;
    clock.start();
    double cpu = CpuSeconds();
    ScanRun run;
    if (!run.Run({location}, {}, ReportType::TreeView, {}))
        return 1;
    std::printf("scan: %zu records, %.2f s wall, %.2f s cpu, peak %ld kB\n",
                run.records().lastIndex(), clock.elapsed() / 1000.0, CpuSeconds() - cpu, PeakKb());

    const ListingHeader header =
        MakeListingHeader({location}, ReportType::TreeView, ReportSettings(), {});
    for (const auto& [format, name] : {std::pair{ListingFormat::Json, "listing.json"},
                                       std::pair{ListingFormat::Csv, "listing.csv"}}) {
        clock.restart();
        cpu = CpuSeconds();
        RecordListingSource source(run.records(), header);
        QString error;
        if (!SaveListing(source, format, out + QLatin1Char('/') + QLatin1String(name), &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        std::printf("%s: %.2f s wall, %.2f s cpu beyond the scan, peak %ld kB\n", name,
                    clock.elapsed() / 1000.0, CpuSeconds() - cpu, PeakKb());
    }
    return 0;
}
