#pragma once

#include "platform/ProgressHooks.h"
#include "scan/ExclusionMatcher.h"
#include "scan/FileSeen.h"
#include "scan/NameMatch.h"
#include "scan/RecordSort.h"
#include "scan/ScanRecord.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <utility>
#include <vector>

struct stat;

namespace quillon {

/// How one location is walked; set by the scan run from the location's row.
struct WalkSettings {
    bool subFolders = true;                 ///< enter sub-folders at all
    int depthLimit = 0;                     ///< deepest level entered; 0 = no limit, -1 = none
    QString filter = QStringLiteral("*.*"); ///< the location's type filter
    bool folderRecords = true;              ///< make a folder's own record for every folder entered
    bool fileRecords = true;         ///< make file records; a report of folders alone needs none
    bool includeHidden = false;      ///< take files whose names begin with "." like any other
    bool oneFileSystem = false;      ///< enter no folder on another device than the location's
    bool countHardLinksOnce = false; ///< a file's later links are marked repeatLink
    bool sizeOnDisk = false;         ///< a file's size is st_blocks * 512
};

/// True for the magic number (statfs f_type) of a kernel pseudo file system (proc, sysfs,
/// devtmpfs, cgroup, debugfs, tracefs, securityfs, pstore, bpf, configfs, fusectl, mqueue,
/// hugetlbfs): what they hold is no content, and /proc/kcore alone claims 128 TB.
bool IsPseudoFileSystem(long long magic);

/// Turns scan locations into records. Folders are read through descriptors (openat relative
/// to the parent, so paths longer than PATH_MAX work), symbolic links are never entered, and
/// the walk keeps its own stack instead of recursing, so neither depth nor link loops can
/// overflow it. Names stay bytes from the directory to the record.
///
/// Per folder: its own record (when asked for), then its entries in directory order; a file
/// passes the exclusions, the hidden rule (dot names), and the type filter; a sub-folder is
/// entered when sub-folders are on, its depth (PathDepth) is within the limit, and it is not
/// an excluded folder while the exclusion list hides sub-folders too. A folder on a kernel
/// pseudo file system (unless the location lies on one), or with oneFileSystem on a folder on
/// another device, keeps its record but is not read.
class Walker {
public:
    /// records receives what the walk finds. locations are all scan-location paths in list
    /// order (for PathDepth). cancel, when given, is read at every entry, after the yield hook.
    Walker(RecordList& records, const ExclusionList& exclusions, std::vector<std::string> locations,
           ProgressHooks hooks, const bool* cancel);
    ~Walker();
    Walker(const Walker&) = delete;
    Walker& operator=(const Walker&) = delete;

    /// Walks one location (path as the row holds it; "/" is added unless it ends in one).
    /// A location that cannot be read still gets its folder record.
    void WalkLocation(std::string_view locationPath, const WalkSettings& settings);

    /// Folders met that could not be read (errno in FolderNode::readError), in walk order.
    const std::vector<const FolderNode*>& unreadableFolders() const { return m_unreadable; }

    /// Files kept whose status could not be read (ScanRecord::statError), in all locations.
    std::size_t unreadableFileCount() const { return m_unreadableFiles; }

    /// How many threads read folders and take their entries' status: 1 walks on this thread
    /// alone; 0 (the default) picks kAutoThreads, or one thread for a location on a rotational
    /// disk (not a virtio one, which claims to be) or a network file system, where reading in
    /// parallel makes the disk seek. Either way the records come out in the same order, as a
    /// walk on one thread makes them.
    ///
    /// With 0 the threads start at once when a processor is to spare (more than one, and the
    /// load average below their number less one half) and every sub-folder is entered (they
    /// then read ahead by whole sub-trees). Otherwise they start only once the walk is seen
    /// waiting on the disk (a cold cache): from a warm cache one thread is quicker then, as
    /// the threads cost more processor time than they save in waiting.
    void setThreads(int threads) { m_threads = threads < 0 ? 0 : threads; }
    static constexpr int kAutoThreads = 4;

    /// Walks in the record sort's order and hands the records out as it goes, so that they
    /// never pile up: when ready is called, the list's items are one folder's own record and
    /// its files in SortRecords' order; once it returns they are dropped (item 0 stays) and
    /// the folder's sub-folders are entered in their sorted order. The folder nodes stay.
    /// unreadableFolders() is in walk order still, once the location is walked. The reading
    /// threads read ahead in directory order all the same.
    void handOutInOrder(std::function<void()> ready);
    /// Runs wait on the walk's thread without taking the waits it makes for waits on the
    /// disk (a hand-out waiting for room), which would start the reading threads.
    void waitingElsewhere(const std::function<void()>& wait);
    /// Told of every file record as it is appended; none (the default) costs nothing.
    void setFileSeen(FileSeen* fileSeen) { m_fileSeen = fileSeen; }

    // Test and benchmark probes, not used by the program itself.
    /// How many folder descriptors the walk may hold open at once (default 256). Deeper
    /// levels close their parent's descriptor and reach it again through "..".
    void setDescriptorBudget(int budget) { m_descriptorBudget = budget < 2 ? 2 : budget; }

    /// With 0 threads chosen, start them after this many folders whatever the disk
    /// does (0: as the disk says).
    void startThreadsAfter(unsigned folders) { m_startAfter = folders; }

private:
    struct Frame;
    struct EntryStatus;
    struct ReadTask;
    struct SharedFd;
    /// Sub-folders' read tasks, each with its entry's offset in the parent.
    using ChildTasks = std::vector<std::pair<std::size_t, std::shared_ptr<ReadTask>>>;
    class Pool;
    friend class Pool;

    void startPool(int threads);
    void watchForDiskWaits();
    void enterFolder(const FolderNode* parent, const char* name, int separators, int location,
                     std::size_t entryOffset);
    std::shared_ptr<ReadTask> readAheadTask(std::size_t entryOffset);
    bool takeReadAhead(ReadTask& task, int& fd, int& error, dev_t& device);
    int openOwn(const char* name, bool hasParent, int& error);
    void checkOwnDevice(int& fd, dev_t& device, bool hasParent);
    Frame& freshFrame(int fd, dev_t device, std::size_t entryOffset);
    void boundDescriptors();
    int locationOfChild(const Frame& frame) const;
    bool childToEnter(const Frame& frame, const char* name, int& separators, int& location);
    void leaveFolder();
    bool onPseudoFileSystem(int fd, dev_t device);
    bool pseudoCheck(int fd, dev_t device) const;
    bool firstLink(std::uint64_t device, std::uint64_t inode);
    void handleEntry(std::size_t frameIndex, const char* name, unsigned char type,
                     std::size_t offset);
    void enterSubFolder(const Frame& frame, const char* name, std::size_t offset);
    bool stepInOrder(std::size_t frameIndex);
    void handOut(Frame& frame);
    void unreadableInWalkOrder(std::size_t from);
    void keepUnreadable(const FolderNode* node);
    bool takesFile(const char* name, bool filesExcluded) const;
    void takeFile(Frame& frame, const char* name, const struct stat* known, int statError,
                  std::size_t offset);
    int statEntry(Frame& frame, const char* name, std::size_t offset, struct stat& st);
    void unwind();
    void closeFd(int& fd);
    void submitChildren(Frame& frame);
    template <class Enter>
    bool makeChildTasks(const std::vector<char>& entries, int fd, dev_t device,
                        std::string_view keyPrefix, bool& reserved, Enter&& enter,
                        ChildTasks& children);
    void startThreads(int fd, dev_t device);
    bool claim(ReadTask& task);
    bool awaitRead(const ReadTask& task);
    bool reserveDescriptors(int count);
    void readFolder(ReadTask& task, std::vector<char>& scratch, const std::atomic<bool>& stop,
                    bool onMainThread);
    void readStatuses(ReadTask& task, int fd, const std::atomic<bool>& stop) const;

    RecordList& m_records;
    ExclusionMatcher m_exclusions;
    std::vector<std::string> m_locations;
    ProgressHooks m_hooks;
    const bool* m_cancel;
    FileSeen* m_fileSeen = nullptr;

    WalkSettings m_settings;
    TypeFilter m_filter;
    std::uint32_t m_entryCount = 0; ///< entries of this location so far; paces the progress text
    int m_descriptorBudget = 256;
    int m_openDescriptors = 0;

    std::vector<Frame> m_stack;  ///< frames past m_depth keep their buffers for reuse
    std::vector<char> m_scratch; ///< where a folder's entries are read before they are kept
    std::string m_path;          ///< path of the innermost folder ending in "/", grown per level
    std::vector<std::string> m_lowerLocations; ///< m_locations with ASCII letters lower-cased
    std::vector<int> m_locationSeparators;     ///< PathDepth's count of each location
    std::size_t m_longestLocation = 0;
    std::size_t m_depth = 0;
    std::vector<const FolderNode*> m_unreadable;
    std::size_t m_unreadableFiles = 0;
    dev_t m_locationDevice = 0;      ///< device of the location being walked
    bool m_locationOnPseudo = false; ///< the location itself lies on a pseudo file system
    /// (device, inode) of the multiply-linked files met, open addressing; (0, 0) is free.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> m_linkedInodes;
    std::size_t m_linkedCount = 0;
    std::vector<dev_t> m_devtmpfs; ///< devices of devtmpfs mounts, once read
    bool m_devtmpfsRead = false;

    int m_threads = 0;
    std::unique_ptr<Pool> m_pool; ///< the reading threads, made when first needed
    bool m_parallel = false;      ///< this location is read by the pool
    /// The reading threads queue the sub-folders of what they read themselves, so they run
    /// ahead of the walk by whole sub-trees; only while every sub-folder is entered.
    bool m_deepReadAhead = false;
    std::uint64_t m_batch = 0;     ///< sub-folders handed over so far, when handing out in order
    std::atomic<int> m_poolFds{0}; ///< descriptors the pool's tasks hold or reserved
    int m_poolFdCap = 0;
    int m_pendingThreads = 0;   ///< threads to start once the walk waits on the disk
    long m_waitsBefore = 0;     ///< the walk thread's voluntary waits at the last look
    unsigned m_foldersRead = 0; ///< folders read since then
    unsigned m_startAfter = 0;  ///< startThreadsAfter

    std::function<void()> m_ready;              ///< handOutInOrder; empty for a plain walk
    std::unique_ptr<FolderRecordOrder> m_order; ///< made with m_ready
    /// Beside each of m_unreadable when handing out: its entries' offsets from the location
    /// down, by which the walk in directory order would have met it.
    std::vector<std::vector<std::size_t>> m_unreadableAt;
};

/// True when parallel reading would make the disk under the open folder seek (a rotational
/// disk) or wait on the network (NFS, SMB, CIFS, AFS, Ceph, 9P).
bool PrefersSequentialWalk(int fd, dev_t device);

} // namespace quillon
