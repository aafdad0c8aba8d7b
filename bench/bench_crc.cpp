// CRC-32 throughput of the checksum component over files in the page cache, against
// `rhash --crc32` on the same files (when rhash is installed). Run:
//   build/release/bench/bench_crc --benchmark_min_time=2
// The files (8 x 128 MiB) are made once under $TMPDIR (default /tmp) and kept for later runs.
#include "details/CrcCtrl.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kFileCount = 8;
constexpr std::size_t kFileSize = std::size_t(128) << 20;

std::string Folder()
{
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/quillon_bench_crc";
}

// Makes the files if they are missing, then reads each once so they sit in the page cache.
const std::vector<std::string>& Files()
{
    static const std::vector<std::string> files = [] {
        const std::string folder = Folder();
        ::mkdir(folder.c_str(), 0755);
        std::vector<std::string> paths;
        std::vector<char> block(1 << 20);
        std::uint64_t seed = 0x9E3779B97F4A7C15ull;
        for (int i = 0; i < kFileCount; ++i) {
            const std::string path = folder + "/part" + std::to_string(i) + ".bin";
            struct stat st;
            if (::stat(path.c_str(), &st) != 0 || std::size_t(st.st_size) != kFileSize) {
                FILE* f = std::fopen(path.c_str(), "wb");
                if (!f)
                    std::abort();
                for (std::size_t done = 0; done < kFileSize; done += block.size()) {
                    for (char& c : block) {
                        seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
                        c = static_cast<char>(seed);
                    }
                    std::fwrite(block.data(), 1, block.size(), f);
                }
                std::fclose(f);
            }
            const int fd = ::open(path.c_str(), O_RDONLY);
            while (::read(fd, block.data(), block.size()) > 0) {
            }
            ::close(fd);
            paths.push_back(path);
        }
        return paths;
    }();
    return files;
}

void BM_CrcCtrl(benchmark::State& state)
{
    const auto& files = Files();
    quillon::CrcCtrl crc;
    for (auto _ : state) {
        for (const std::string& path : files) {
            crc.SetMode(quillon::CrcCtrl::kModeCrc32);
            crc.ComputeFile(path);
            benchmark::DoNotOptimize(crc.Result());
        }
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * kFileCount *
                            std::int64_t(kFileSize));
}
BENCHMARK(BM_CrcCtrl)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RhashCrc32(benchmark::State& state)
{
    if (std::system("rhash --version > /dev/null 2>&1") != 0) {
        state.SkipWithError("rhash is not installed");
        return;
    }
    std::string command = "rhash --crc32";
    for (const std::string& path : Files())
        command += " '" + path + "'";
    command += " > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("rhash failed");
            return;
        }
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * kFileCount *
                            std::int64_t(kFileSize));
}
BENCHMARK(BM_RhashCrc32)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
