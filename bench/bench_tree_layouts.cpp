// Time per record of the tree and folder list layouts over a large scan: 1,000 folders of
// 1,000 files by default, written to a staging file in a temporary folder.
#include "report/Layouts.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <memory>

using namespace quillon;

namespace {

/// One location with `folders` sub-folders of `files` files each, in the order a sort gives.
std::unique_ptr<RecordList> makeRecords(int folders, int files)
{
    auto records = std::make_unique<RecordList>();
    const FolderNode* location = records->addFolder(nullptr, "/srv/archive/");
    records->appendFolderRecord(location);
    for (int f = 0; f < folders; ++f) {
        const FolderNode* folder =
            records->addFolder(location, "folder " + std::to_string(f) + " (photos & notes)");
        records->appendFolderRecord(folder);
        for (int i = 0; i < files; ++i)
            records->appendFile(folder, "IMG_" + std::to_string(100000 + i) + "_holiday.jpeg",
                                int64_t(i) * 7919 + 12);
    }
    return records;
}

template <bool (*Layout)(LayoutContext&)> void runLayout(benchmark::State& state)
{
    const auto records = makeRecords(static_cast<int>(state.range(0)), 1000);
    QTemporaryDir dir;
    ScanCounters counters;
    bool cancel = false;
    LayoutContext context;
    context.records = records.get();
    context.counters = &counters;
    context.cancel = &cancel;
    context.locations = {"/srv/archive"};
    context.stagingPath = dir.filePath("tmpfile.dmp");
    context.settings.IncludeFullSum = true;
    for (auto _ : state) {
        counters = {};
        if (!Layout(context))
            state.SkipWithError("layout failed");
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(records->lastIndex()));
}

} // namespace

BENCHMARK(runLayout<TreeViewList>)->Name("TreeViewList")->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(runLayout<TreeViewSizeList>)
    ->Name("TreeViewSizeList")
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(runLayout<FolderList>)->Name("FolderList")->Arg(1000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
