// Walk of a tree of 150,165 entries into records, on one thread and on several, against find
// printing the same fields.

#include "BenchTree.h"
#include "scan/Walker.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

using namespace quillon;

namespace {

const std::string kRoot = "/tmp/quillon_bench_walk";

const std::string& Tree()
{
    static const bool made = [] {
        // 15 x 10 folders of 1000 files: 150,000 files and 165 folders.
        std::vector<std::string> folders;
        for (int a = 0; a < 15; ++a)
            for (int b = 0; b < 10; ++b) {
                char path[64];
                std::snprintf(path, sizeof path, "/t%02d/s%02d", a, b);
                folders.push_back(kRoot + path);
            }
        ::mkdir(kRoot.c_str(), 0755);
        bench::MakeTree(kRoot, folders, 1000);
        return true;
    }();
    (void)made;
    return kRoot;
}

void WalkIntoRecords(benchmark::State& state)
{
    const std::string& root = Tree();
    std::size_t count = 0;
    for (auto _ : state) {
        RecordList records;
        Walker walker(records, {}, {root}, {}, nullptr);
        walker.WalkLocation(root, WalkSettings{}); // with folder records, as the tree reports
        count = records.lastIndex();
        benchmark::DoNotOptimize(count);
    }
    state.counters["records"] = static_cast<double>(count);
}

// The same walk with the file's status taken (as a tree with sizes needs), on 1 to 8
// threads; process CPU time beside the wall time shows what the threads cost.
void WalkOnThreads(benchmark::State& state)
{
    const std::string& root = Tree();
    std::size_t count = 0;
    for (auto _ : state) {
        RecordList records;
        Walker walker(records, {}, {root}, {}, nullptr);
        walker.setThreads(static_cast<int>(state.range(0)));
        walker.WalkLocation(root, WalkSettings{});
        count = records.lastIndex();
        benchmark::DoNotOptimize(count);
    }
    state.counters["records"] = static_cast<double>(count);
}

void FindPrintf(benchmark::State& state)
{
    const std::string command = "find " + Tree() + " -printf '%h|%f|%s\\n' >/dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("find failed");
    }
}

} // namespace

BENCHMARK(WalkIntoRecords)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(WalkOnThreads)
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->Arg(8)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->MinTime(2.0);
BENCHMARK(FindPrintf)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK_MAIN();
