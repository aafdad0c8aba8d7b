// List In Details over 50,000 files (500 folders of 100) in the page cache: every detail
// column on, against only File Name, Size and Date. Reports the time per file. Run:
//   build/release/bench/bench_list_in_details
// The tree is made once under $TMPDIR (default /tmp) and kept for later runs.
#include "report/Layouts.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

constexpr int kFolders = 500;
constexpr int kFilesPerFolder = 100;

std::string TempRoot()
{
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp");
}

// The records of the tree, made on disk the first time.
const quillon::RecordList& Records()
{
    static const quillon::RecordList* records = [] {
        auto* list = new quillon::RecordList;
        const std::string root = TempRoot() + "/quillon_bench_details/";
        ::mkdir(root.c_str(), 0755);
        const quillon::FolderNode* location = list->addFolder(nullptr, root);
        // Some files carry an ID3v1 trailer, some are named like executables.
        std::string tagged(300, 'a');
        tagged += "TAG" + std::string(124, 'b') + '\x11';
        for (int d = 0; d < kFolders; ++d) {
            const std::string folder = root + "folder" + std::to_string(d) + "/";
            ::mkdir(folder.c_str(), 0755);
            const quillon::FolderNode* node =
                list->addFolder(location, "folder" + std::to_string(d));
            for (int f = 0; f < kFilesPerFolder; ++f) {
                const std::string name =
                    "file" + std::to_string(f) + (f % 10 == 0 ? ".exe" : ".mp3");
                const std::string path = folder + name;
                const std::string& content = tagged;
                struct stat st;
                if (::stat(path.c_str(), &st) != 0) {
                    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
                    if (fd < 0 || ::write(fd, content.data(), content.size()) < 0)
                        std::abort();
                    ::close(fd);
                }
                list->appendFile(node, name, static_cast<std::int64_t>(content.size()));
            }
        }
        return list;
    }();
    return *records;
}

void RunReport(benchmark::State& state, bool everyColumn)
{
    const quillon::RecordList& records = Records();
    const std::string out = TempRoot() + "/quillon_bench_details_out";
    ::mkdir(out.c_str(), 0755);

    quillon::LayoutContext context;
    context.records = &records;
    context.stagingPath = QString::fromStdString(out + "/tmpfile.dmp");
    quillon::ReportSettings& s = context.settings;
    if (everyColumn) {
        s.Fields.on.fill(true);
    }
    bool cancel = false;
    context.cancel = &cancel;
    for (auto _ : state) {
        quillon::ScanCounters counters;
        context.counters = &counters;
        if (!quillon::ListInDetails(context) || counters.files != records.lastIndex())
            state.SkipWithError("the report did not list every file");
    }
    const double files = static_cast<double>(records.lastIndex());
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * files));
    state.counters["us_per_file"] = benchmark::Counter(
        files * 1e-6, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_ListInDetails_EveryColumn(benchmark::State& state)
{
    RunReport(state, true);
}
BENCHMARK(BM_ListInDetails_EveryColumn)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ListInDetails_NameSizeDate(benchmark::State& state)
{
    RunReport(state, false);
}
BENCHMARK(BM_ListInDetails_NameSizeDate)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
