// Sorting a million scan records into folder order, against GNU `sort -f` of the same records
// as "folder|name|size" lines. Both run once per iteration on warm data; peak RSS is reported
// as a counter (MB) along with the resident size just before the sort.
//
//   build/release/bench/bench_sort --benchmark_counters_tabular=true

#include "scan/RecordSort.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace quillon;

constexpr int kRecords = 1'000'000;
constexpr int kFolders = 62'500; // about 15 files a folder

const char* const kWords[] = {"Holiday",
                              "report",
                              "IMG",
                              "DSC",
                              "music",
                              "Music",
                              "photo",
                              "Notes",
                              "draft",
                              "final",
                              "r\xC3\xA9sum\xC3\xA9",
                              "na\xC3\xAFve",
                              "data",
                              "Backup",
                              "config",
                              "copy",
                              "notes",
                              "tmp",
                              "\xC3\x9C"
                              "bersicht",
                              "caf\xC3\xA9",
                              "Track",
                              "\xC3\x89"
                              "COLE",
                              "src",
                              "build",
                              "Invoice",
                              "summer",
                              "WINTER",
                              "Project",
                              "lib",
                              "test",
                              "Docs",
                              "old",
                              "new",
                              "Thesis",
                              "scan",
                              "Zoom",
                              "archive",
                              "\xCE\xB1\xCE\xBB\xCF\x86\xCE\xB1",
                              "\xD0\xB4\xD0\xBE\xD0\xBC",
                              "Q3"};
const char* const kSeparators[] = {" ", "_", "-", ".", "", " - "};
const char* const kPrefixes[] = {"", "", "", "", "", "", "_", "(1) ", "#", ".", "~", "$"};
const char* const kExtensions[] = {".txt", ".jpg", ".JPG", ".mp3", ".pdf", ".docx",   ".yml",
                                   ".c",   ".h",   ".png", ".Mp4", "",     ".tar.gz", ".md"};

template <class T, std::size_t N> const T& Pick(std::mt19937& random, const T (&items)[N])
{
    return items[random() % N];
}

std::string MakeName(std::mt19937& random, bool file)
{
    std::string name = Pick(random, kPrefixes);
    name += Pick(random, kWords);
    if (random() % 2) {
        name += Pick(random, kSeparators);
        name += Pick(random, kWords);
    }
    if (random() % 3 == 0) {
        name += Pick(random, kSeparators);
        name += std::to_string(random() % 5000);
    }
    if (file)
        name += Pick(random, kExtensions);
    return name;
}

// The folder skeleton: a random recursive tree with a file count per folder.
struct Skeleton {
    std::vector<int> parent;
    std::vector<std::string> name;
    std::vector<std::vector<int>> children;
    std::vector<int> files;

    Skeleton()
    {
        std::mt19937 random(2024);
        parent.push_back(-1);
        name.push_back("/home/user/data/");
        for (int f = 1; f < kFolders; ++f) {
            parent.push_back(static_cast<int>(random() % f));
            name.push_back(MakeName(random, false));
        }
        children.resize(kFolders);
        for (int f = 1; f < kFolders; ++f)
            children[parent[f]].push_back(f);
        files.assign(kFolders, 0);
        // Skewed: a few folders hold hundreds of files, most a handful.
        for (int i = kFolders; i < kRecords; ++i) {
            const double u = std::uniform_real_distribution<double>(0, 1)(random);
            ++files[static_cast<int>(u * u * kFolders)];
        }
    }
};

const Skeleton& TheSkeleton()
{
    static const Skeleton skeleton;
    return skeleton;
}

// Appends records the way the walker does: a folder's own record when entered, then its entries
// in directory order, descending into each sub-folder when met.
void Generate(RecordList& list)
{
    const Skeleton& s = TheSkeleton();
    list.clear();
    struct Frame {
        const FolderNode* node;
        std::vector<int> entries; // -1 = a file, else a sub-folder
        std::size_t next = 0;
        std::mt19937 random;
    };
    std::vector<Frame> stack;
    const auto enter = [&](int f, const FolderNode* parentNode) {
        const FolderNode* node = list.addFolder(parentNode, s.name[f]);
        list.appendFolderRecord(node);
        Frame frame{node, {}, 0, std::mt19937(static_cast<unsigned>(f))};
        frame.entries.assign(s.files[f], -1);
        frame.entries.insert(frame.entries.end(), s.children[f].begin(), s.children[f].end());
        std::shuffle(frame.entries.begin(), frame.entries.end(), frame.random);
        stack.push_back(std::move(frame));
    };
    enter(0, nullptr);
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.entries.size()) {
            stack.pop_back();
            continue;
        }
        const int entry = top.entries[top.next++];
        if (entry >= 0) {
            enter(entry, top.node);
        } else {
            const auto size = static_cast<std::int64_t>(std::exp2(top.random() % 3000 / 100.0));
            list.appendFile(top.node, MakeName(top.random, true), size);
        }
    }
}

double PeakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

double CurrentRssMb()
{
    long pages = 0;
    long resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

void BM_SortRecords(benchmark::State& state)
{
    RecordList list;
    double before = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Generate(list);
        before = CurrentRssMb();
        state.ResumeTiming();
        SortRecords(list);
        benchmark::DoNotOptimize(list.items().data());
    }
    state.counters["records"] = static_cast<double>(list.lastIndex());
    state.counters["folders"] = static_cast<double>(list.folderCount());
    state.counters["rss_before_MB"] = before;
    state.counters["peak_rss_MB"] = PeakRssMb();
}
BENCHMARK(BM_SortRecords)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

double ChildCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// GNU sort under the inherited locale (argument 0) or under LC_ALL=C (argument 1).
void BM_GnuSortF(benchmark::State& state)
{
    const bool cLocale = state.range(0) == 1;
    char path[] = "/tmp/quillon-bench-sort-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) {
        state.SkipWithError("cannot create a temporary file");
        return;
    }
    close(fd);
    {
        RecordList list;
        Generate(list);
        std::ofstream out(path, std::ios::binary);
        for (std::size_t i = 1; i <= list.lastIndex(); ++i)
            out << RecordText(list[i]) << '\n';
    }
    const std::string command =
        std::string(cLocale ? "LC_ALL=C " : "") + "sort -f " + path + " > /dev/null";
    const double cpuBefore = ChildCpuSeconds();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const int status = std::system(command.c_str());
        const auto end = std::chrono::steady_clock::now();
        if (status != 0) {
            state.SkipWithError("sort -f failed");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    std::remove(path);
    state.counters["sort_cpu_ms"] =
        (ChildCpuSeconds() - cpuBefore) * 1000 / static_cast<double>(state.iterations());
    const char* locale = std::getenv("LC_ALL");
    if (!locale || !*locale)
        locale = std::getenv("LC_COLLATE");
    if (!locale || !*locale)
        locale = std::getenv("LANG");
    state.SetLabel(std::string("locale ") + (cLocale ? "C" : locale && *locale ? locale : "C"));
}
BENCHMARK(BM_GnuSortF)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

} // namespace

BENCHMARK_MAIN();
