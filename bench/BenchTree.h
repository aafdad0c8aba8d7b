#pragma once

// Benchmark trees: made once under /tmp and reused while their ".complete" marker exists.
// Creation runs on many threads because file creation waits on the disk, not the processor.

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace quillon::bench {

/// Makes each folder (and its parents) holding filesPerFolder empty files f0000.dat ...
inline void MakeTree(const std::string& root, const std::vector<std::string>& folders,
                     int filesPerFolder)
{
    const std::string marker = root + "/.complete";
    if (::access(marker.c_str(), F_OK) == 0)
        return;
    std::fprintf(stderr, "making %s (%zu folders) once...\n", root.c_str(), folders.size());
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i = next++; i < folders.size(); i = next++) {
            const std::string& folder = folders[i];
            for (std::size_t slash = root.size(); slash != std::string::npos;
                 slash = folder.find('/', slash + 1))
                ::mkdir(folder.substr(0, slash).c_str(), 0755);
            ::mkdir(folder.c_str(), 0755);
            const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
            for (int f = 0; f < filesPerFolder; ++f) {
                char name[32];
                std::snprintf(name, sizeof name, "f%04d.dat", f);
                const int fd = ::openat(dir, name, O_CREAT | O_WRONLY, 0644);
                if (fd >= 0)
                    ::close(fd);
            }
            ::close(dir);
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 32; ++t)
        threads.emplace_back(work);
    for (std::thread& thread : threads)
        thread.join();
    const int fd = ::open(marker.c_str(), O_CREAT | O_WRONLY, 0644);
    if (fd >= 0)
        ::close(fd);
}

} // namespace quillon::bench
