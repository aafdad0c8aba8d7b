// Peak memory of a scan of 1,000,000 files (1000 folders of 1000 files): walk and sort.

#include "BenchTree.h"
#include "app/ScanRun.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

using namespace quillon;

namespace {

const std::string kRoot = "/tmp/quillon_bench_1m";

double PeakRssMegabytes()
{
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // ru_maxrss is in KiB
}

void ScanMillionFiles(benchmark::State& state)
{
    std::vector<std::string> folders;
    for (int a = 0; a < 1000; ++a) {
        char path[32];
        std::snprintf(path, sizeof path, "/d%04d", a);
        folders.push_back(kRoot + path);
    }
    ::mkdir(kRoot.c_str(), 0755);
    bench::MakeTree(kRoot, folders, 1000);

    const double before = PeakRssMegabytes();
    double afterWalk = 0;
    std::size_t records = 0;
    for (auto _ : state) {
        ScanRun run;
        ScanLocation location;
        location.path = QString::fromStdString(kRoot);
        location.level = QStringLiteral("All Levels");
        ScanRunHooks hooks;
        // The sort runs right after the walk's last status text.
        hooks.progress.status = [&](const QString& text) {
            if (text.startsWith(QStringLiteral("Initializing")))
                afterWalk = PeakRssMegabytes();
        };
        run.Run({location}, {}, ReportType::TreeView, hooks);
        records = run.records().lastIndex();
    }
    state.counters["records"] = static_cast<double>(records);
    state.counters["rss_before_MB"] = before;
    state.counters["peak_rss_walk_MB"] = afterWalk;
    state.counters["peak_rss_scan_MB"] = PeakRssMegabytes();
}

} // namespace

// One iteration: the peak of the process is what is measured.
BENCHMARK(ScanMillionFiles)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_MAIN();
