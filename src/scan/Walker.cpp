#include "scan/Walker.h"

#include "platform/PathRules.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <mutex>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <thread>
#include <unistd.h>

#ifndef SMB2_MAGIC_NUMBER
#define SMB2_MAGIC_NUMBER 0xFE534D42
#endif
#ifndef CIFS_SUPER_MAGIC
#define CIFS_SUPER_MAGIC 0xFF534D42
#endif

namespace quillon {

bool IsPseudoFileSystem(long long magic)
{
    switch (magic) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case PSTOREFS_MAGIC:
    case BPF_FS_MAGIC:
    case 0x62656570: // configfs
    case 0x65735543: // fusectl
    case 0x19800202: // mqueue
    case HUGETLBFS_MAGIC:
        return true;
    default:
        return false;
    }
}

bool PrefersSequentialWalk(int fd, dev_t device)
{
    struct statfs info;
    if (::fstatfs(fd, &info) == 0) {
        switch (static_cast<unsigned long>(info.f_type)) {
        case NFS_SUPER_MAGIC:
        case SMB_SUPER_MAGIC:
        case SMB2_MAGIC_NUMBER:
        case CIFS_SUPER_MAGIC:
        case AFS_SUPER_MAGIC:
        case CODA_SUPER_MAGIC:
        case V9FS_MAGIC:
        case 0x00C36400: // ceph
            return true;
        default:
            break;
        }
    }
    // A partition has no queue of its own: its disk's is one level up.
    bool rotational = false;
    for (const char* form :
         {"/sys/dev/block/%u:%u/queue/rotational", "/sys/dev/block/%u:%u/../queue/rotational"}) {
        char path[96];
        std::snprintf(path, sizeof path, form, major(device), minor(device));
        const int flag = ::open(path, O_RDONLY | O_CLOEXEC);
        if (flag < 0)
            continue;
        char value = '0';
        const bool read = ::read(flag, &value, 1) == 1;
        ::close(flag);
        if (read) {
            rotational = value == '1';
            break;
        }
    }
    if (!rotational)
        return false;
    // A virtio disk says "rotational" unless its host tells otherwise, whatever lies behind
    // it; on one, a cold walk of /usr took 0.78 of the time on four threads as on one.
    char link[96];
    std::snprintf(link, sizeof link, "/sys/dev/block/%u:%u", major(device), minor(device));
    char target[4096];
    const ssize_t length = ::readlink(link, target, sizeof target - 1);
    if (length > 0) {
        target[length] = '\0';
        if (std::strstr(target, "/virtio"))
            return false;
    }
    return true;
}

namespace {

/// Devices of the devtmpfs mounts: devtmpfs reports tmpfs's magic number, so only the mount
/// table tells it from a tmpfs such as /tmp. Read once per walker, when first needed.
std::vector<dev_t> DevtmpfsDevices()
{
    std::vector<dev_t> devices;
    FILE* table = std::fopen("/proc/self/mountinfo", "re");
    if (!table)
        return devices;
    char* line = nullptr;
    std::size_t capacity = 0;
    while (::getline(&line, &capacity, table) > 0) {
        unsigned major = 0;
        unsigned minor = 0;
        const char* separator = std::strstr(line, " - ");
        if (separator && std::strncmp(separator, " - devtmpfs ", 12) == 0 &&
            std::sscanf(line, "%*s %*s %u:%u", &major, &minor) == 2)
            devices.push_back(makedev(major, minor));
    }
    std::free(line);
    std::fclose(table);
    return devices;
}

constexpr int kLocationUnknown = -2; // -1: no location matches
} // namespace

/// One folder being walked: its node, its descriptor and the entries read from it.
struct Walker::Frame {
    const FolderNode* node = nullptr;
    std::size_t pathSize = 0;        ///< m_path's length while this folder is the innermost
    int separators = 0;              ///< separators of the path, as PathDepth counts them
    int location = kLocationUnknown; ///< PathDepth's location of the path without its "/"
    int fd = -1;
    dev_t device = 0; ///< identity kept while fd is closed, to check the reopened one
    ino_t inode = 0;
    dev_t ownDevice = 0;       ///< the folder's device as it was entered
    std::vector<char> entries; ///< raw directory records
    std::size_t next = 0;      ///< offset of the next entry to handle
    bool filesExcluded = false;
    /// Status of entries taken ahead by a reading thread, in entry order; a missing one is
    /// read when needed.
    std::vector<EntryStatus> statuses;
    std::size_t statusCursor = 0;
    /// Sub-folders handed to the reading threads, by their entry's offset, in entry order.
    ChildTasks children;
    std::size_t childCursor = 0;
    // Handing out in order: where the folder's entry stands in its parent's records, and the
    // sub-folders (their entries' offsets) left for after the files.
    std::size_t entryOffset = 0;
    std::vector<std::size_t> subFolders;
    std::size_t subCursor = 0;
    bool handedOut = false;
    std::string key; ///< ReadTask::key of this folder
};

/// What a report takes of an entry's status, read ahead by a reading thread.
struct Walker::EntryStatus {
    std::uint32_t offset = 0; ///< the entry's offset in its folder's records
    int error = 0;            ///< errno of the failed status read, else 0
    std::uint32_t mode = 0;
    std::uint32_t links = 0;
    std::int64_t size = 0;
    std::int64_t blocks = 0;
    std::int64_t modified = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

/// A folder's descriptor lent to the reading threads until they have opened its sub-folders.
struct Walker::SharedFd {
    SharedFd(int descriptor, std::atomic<int>* held) : fd(descriptor), count(held) {}
    ~SharedFd()
    {
        ::close(fd);
        count->fetch_sub(1);
    }
    SharedFd(const SharedFd&) = delete;
    SharedFd& operator=(const SharedFd&) = delete;
    int fd;
    std::atomic<int>* count;
};

/// One sub-folder to read ahead: opened, listed and its files' status taken by a reading
/// thread, or by the walk itself when it gets there first.
struct Walker::ReadTask {
    enum class State { Pending, Running, Done };
    ReadTask() = default;
    ReadTask(const ReadTask&) = delete;
    ReadTask& operator=(const ReadTask&) = delete;
    ~ReadTask()
    {
        if (fd >= 0)
            ::close(fd);
        releaseSlot();
    }
    void releaseSlot()
    {
        if (slot)
            slot->fetch_sub(1);
        slot = nullptr;
    }

    std::shared_ptr<SharedFd> parent;
    std::string name;
    dev_t parentDevice = 0;
    bool filesExcluded = false;
    std::atomic<int>* slot = nullptr; ///< the descriptor reserved once a thread reads it
    bool spareDescriptor = false;     ///< one more reserved, for its sub-folders' tasks
    /// Running once a thread or the walk takes it; Done under the pool's mutex.
    std::atomic<State> state{State::Pending};
    std::size_t accounted = 0; ///< bytes counted against the pool's buffer
    int fd = -1;
    int error = 0;
    dev_t device = 0;
    std::vector<char> entries;
    std::vector<EntryStatus> statuses;
    /// The reading threads take the smallest key first: the entries' offsets from the
    /// location down (kKeyLevels at most), 8 bytes each, so the folder the walk meets first
    /// is read first.
    std::string key;
    /// Its sub-folders' tasks, when the thread that read it queued them at once.
    ChildTasks children;
    bool subFoldersQueued = false; ///< all of them, none left for the walk to hand over
};

namespace {
// Keys stop growing past this many levels, so that a chain of folders thousands deep does not
// hold keys the square of its depth; below it the threads' order is only a little worse.
constexpr std::size_t kKeyLevels = 32;

void AppendKey(std::string& key, std::uint64_t value)
{
    if (key.size() >= 8 * kKeyLevels)
        return;
    for (int shift = 56; shift >= 0; shift -= 8)
        key.push_back(static_cast<char>((value >> shift) & 0xFF));
}

/// Orders the pool's heap so that its front is the smallest key.
struct LaterKey {
    template <class Task> bool operator()(const Task& a, const Task& b) const
    {
        return a->key > b->key;
    }
};

constexpr std::size_t kBufferedPerThread = 4 * 1024 * 1024; ///< read ahead, not yet walked
constexpr std::size_t kStatusesUpTo =
    1024 * 1024; ///< records of a folder whose status is read ahead
} // namespace

/// The reading threads. The walk hands them the sub-folders it will enter, and they take
/// the one it will meet first, so they read just ahead of it; what they have read and the
/// walk not yet taken is bounded in bytes and descriptors.
class Walker::Pool {
public:
    Pool(Walker& walker, int threads) : m_walker(walker), m_cap(kBufferedPerThread * threads)
    {
        for (int i = 0; i < threads; ++i)
            m_threads.emplace_back([this] { run(); });
    }
    ~Pool()
    {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
            m_stop = true;
            m_queue.clear();
        }
        m_work.notify_all();
        for (std::thread& thread : m_threads)
            thread.join();
    }
    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;

    int threads() const { return static_cast<int>(m_threads.size()); }
    std::size_t cap() const { return m_cap; }

    void submit(const ChildTasks& tasks)
    {
        {
            std::lock_guard lock(m_mutex);
            queue(tasks);
            m_descriptorsWanted.store(false); // the threads look again at what is free
        }
        // Each wake-up costs a system call: wake only as many threads as there is work.
        if (tasks.size() >= m_threads.size())
            m_work.notify_all();
        else
            for (std::size_t i = 0; i < tasks.size(); ++i)
                m_work.notify_one();
    }

    /// Drops what is not started and waits for what is; the next location starts afresh.
    void drain()
    {
        std::unique_lock lock(m_mutex);
        m_stop = true;
        m_queue.clear();
        m_draining = true;
        m_done.wait(lock, [this] { return m_running == 0; });
        m_draining = false;
        m_stop = false;
        m_buffered.store(0);
    }

    /// The walk took a folder: its bytes (and descriptor, already given back) are free again.
    /// No lock unless a thread waits for that room.
    void taken(std::size_t bytes)
    {
        std::size_t held = m_buffered.load();
        while (!m_buffered.compare_exchange_weak(held, held - std::min(held, bytes))) {
        }
        bool wake = held >= m_cap;
        // Threads out of descriptors resume once half are free, not at each one.
        if (m_descriptorsWanted.load() && m_walker.m_poolFds.load() <= m_walker.m_poolFdCap / 2) {
            m_descriptorsWanted.store(false);
            wake = true;
        }
        if (wake) {
            { // a thread that found no room is waiting by the time this lock is had
                std::lock_guard lock(m_mutex);
            }
            m_work.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_done;
    std::condition_variable m_work;
    std::atomic<std::size_t> m_buffered{0};
    const ReadTask* m_awaited = nullptr;          ///< the folder the walk waits for
    std::atomic<bool> m_descriptorsWanted{false}; ///< a thread waits for the walk to take one

private:
    void queue(const ChildTasks& tasks)
    {
        for (const auto& child : tasks) {
            m_queue.push_back(child.second);
            std::push_heap(m_queue.begin(), m_queue.end(), LaterKey{});
        }
    }

    void run()
    {
        std::vector<char> scratch;
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_work.wait(
                lock, [this] { return m_quit || (!m_queue.empty() && m_buffered.load() < m_cap); });
            if (m_quit)
                return;
            // A folder read holds its descriptor until the walk takes it: with none left,
            // wait for the walk to take one.
            // Reading ahead by sub-trees, a second one is kept for its sub-folders to share.
            const int needed = m_walker.m_deepReadAhead ? 2 : 1;
            if (!m_walker.reserveDescriptors(needed)) {
                m_descriptorsWanted.store(true);
                m_work.wait(lock);
                continue;
            }
            std::pop_heap(m_queue.begin(), m_queue.end(), LaterKey{});
            std::shared_ptr<ReadTask> task = std::move(m_queue.back());
            m_queue.pop_back();
            // Taken by the walk itself, or no longer wanted (its folder was left).
            auto pending = ReadTask::State::Pending;
            if (task.use_count() == 1 ||
                !task->state.compare_exchange_strong(pending, ReadTask::State::Running)) {
                m_walker.m_poolFds.fetch_sub(needed);
                continue;
            }
            task->slot = &m_walker.m_poolFds;
            task->spareDescriptor = needed == 2;
            ++m_running;
            lock.unlock();
            m_walker.readFolder(*task, scratch, m_stop, false);
            if (task->spareDescriptor)
                m_walker.m_poolFds.fetch_sub(1);
            const std::size_t bytes =
                task->entries.size() + task->statuses.size() * sizeof(EntryStatus);
            lock.lock();
            task->accounted = bytes;
            m_buffered.fetch_add(bytes);
            if (!task->children.empty() && !m_stop.load()) {
                queue(task->children);
                // This thread takes one and wakes one more, which does the same in turn:
                // waking all at once only has them queue for the lock.
                if (task->children.size() > 1)
                    m_work.notify_one();
            }
            // Done last: from then on the walk may take the task without the lock.
            task->state.store(ReadTask::State::Done);
            --m_running;
            // Only the walk waiting for this very folder, or a drain, needs to hear of it.
            if (m_awaited == task.get() || m_draining)
                m_done.notify_all();
        }
    }

    Walker& m_walker;
    const std::size_t m_cap;
    std::vector<std::shared_ptr<ReadTask>> m_queue; ///< a heap, LaterKey
    std::vector<std::thread> m_threads;
    int m_running = 0;
    bool m_quit = false;
    bool m_draining = false;
    std::atomic<bool> m_stop{false};
};

namespace {

constexpr std::size_t kReadChunk = 32 * 1024;
constexpr std::size_t kKeepScratch = 4 * 1024 * 1024;

/// Reads every entry of the folder into scratch, then hands them to entries at their exact
/// size (a deep chain of folders keeps one small buffer per level, not one read buffer each).
/// Returns 0 or the errno that stopped the reading; what was read before it stays. Between
/// chunks it yields and stops early once stop() says so: a folder of a million entries takes a
/// second to read.
template <class Yield, class Stop>
int ReadAllEntries(int fd, std::vector<char>& scratch, std::vector<char>& entries, Yield&& yield,
                   Stop&& stop)
{
    constexpr std::size_t kYieldEvery = 256 * 1024; // some thousands of names
    std::size_t used = 0;
    std::size_t nextYield = kYieldEvery;
    int error = 0;
    for (;;) {
        if (used >= nextYield) {
            yield();
            if (stop())
                break;
            nextYield = used + kYieldEvery;
        }
        if (scratch.size() - used < kReadChunk)
            scratch.resize(std::max(scratch.size() * 2, used + kReadChunk));
        // At most one chunk a call: the buffer doubles, and one call into a large free part of
        // it reads hundreds of thousands of names before the next yield.
        const ssize_t n =
            ::getdents64(fd, scratch.data() + used, std::min(scratch.size() - used, kReadChunk));
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            break;
        }
        used += static_cast<std::size_t>(n);
    }
    if (used > kKeepScratch) {
        // A huge folder hands over the buffer itself rather than a copy of it.
        entries.swap(scratch);
        entries.resize(used);
        scratch.clear();
        scratch.shrink_to_fit();
    } else {
        entries.assign(scratch.data(), scratch.data() + used);
    }
    return error;
}

bool IsDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

} // namespace

Walker::Walker(RecordList& records, const ExclusionList& exclusions,
               std::vector<std::string> locations, ProgressHooks hooks, const bool* cancel)
    : m_records(records), m_exclusions(exclusions), m_locations(std::move(locations)),
      m_hooks(std::move(hooks)), m_cancel(cancel)
{
    for (const std::string& location : m_locations) {
        m_lowerLocations.push_back(AsciiLower(location));
        m_locationSeparators.push_back(IsRootPath(location) ? 0 : CountSeparatorsToEnd(location));
        m_longestLocation = std::max(m_longestLocation, location.size());
    }
}

Walker::~Walker()
{
    unwind();
    // The threads go before the frames and tasks whose descriptors they count.
    m_pool.reset();
    m_stack.clear();
}

void Walker::closeFd(int& fd)
{
    if (fd >= 0) {
        ::close(fd);
        --m_openDescriptors;
        fd = -1;
    }
}

void Walker::WalkLocation(std::string_view locationPath, const WalkSettings& settings)
{
    m_settings = settings;
    m_filter = TypeFilter(settings.filter);
    m_entryCount = 0;
    m_parallel = false;
    m_pendingThreads = 0;
    // What a thread reads is entered then, unless a folder is left out or the depth limited.
    m_deepReadAhead = !m_ready && settings.subFolders && settings.depthLimit == 0 &&
                      !m_exclusions.excludesFolders();

    const std::string openPath(locationPath);
    m_path = WithTrailingSlash(locationPath);
    const std::size_t unreadableBefore = m_unreadable.size();
    enterFolder(nullptr, openPath.c_str(), 0, kLocationUnknown, 0);

    while (m_depth > 0) {
        const std::size_t top = m_depth - 1;
        Frame& frame = m_stack[top];
        if (frame.next >= frame.entries.size()) {
            if (!m_ready || !stepInOrder(top))
                leaveFolder();
            continue;
        }
        const std::size_t offset = frame.next;
        const auto* entry = reinterpret_cast<const struct dirent64*>(frame.entries.data() + offset);
        frame.next += entry->d_reclen;

        m_hooks.Yield();
        if (m_cancel && *m_cancel) {
            unwind();
            break;
        }
        handleEntry(top, entry->d_name, entry->d_type, offset);
    }
    if (m_pool)
        m_pool->drain();
    if (m_ready)
        unreadableInWalkOrder(unreadableBefore);
}

void Walker::handOutInOrder(std::function<void()> ready)
{
    m_ready = std::move(ready);
    m_order = std::make_unique<FolderRecordOrder>([this] { m_hooks.Yield(); });
}

// Once a folder's files are all taken they go out sorted; then its sub-folders are entered
// one by one in their sorted order. False when the folder is done.
bool Walker::stepInOrder(std::size_t frameIndex)
{
    Frame& frame = m_stack[frameIndex];
    if (!frame.handedOut) {
        frame.handedOut = true;
        handOut(frame);
        return true;
    }
    if (frame.subCursor == frame.subFolders.size())
        return false;
    const std::size_t offset = frame.subFolders[frame.subCursor++];
    const auto* entry = reinterpret_cast<const struct dirent64*>(frame.entries.data() + offset);
    m_hooks.Yield();
    if (m_cancel && *m_cancel) {
        unwind();
        return true;
    }
    enterSubFolder(frame, entry->d_name, offset);
    return true;
}

void Walker::handOut(Frame& frame)
{
    m_order->sortFolders(frame.subFolders, [&frame](std::size_t offset) {
        return std::string_view(
            reinterpret_cast<const struct dirent64*>(frame.entries.data() + offset)->d_name);
    });
    std::vector<ScanRecord>& items = m_records.items();
    std::size_t files = 1;
    while (files < items.size() && items[files].isFolder())
        ++files;
    m_order->sortFiles(items, files, items.size());
    // A huge folder's entries as read go before its records are handed out (while the other
    // side's walk and the comparison hold as much again), and its records' room after.
    if (frame.subFolders.empty() && frame.entries.size() > kKeepScratch) {
        std::vector<char>().swap(frame.entries);
        std::vector<EntryStatus>().swap(frame.statuses);
    }
    m_ready();
    items.resize(1);
    if (items.capacity() > kKeepScratch / sizeof(ScanRecord))
        items.shrink_to_fit();
}

// A folder that could not be read, the innermost frame being made for it.
void Walker::keepUnreadable(const FolderNode* node)
{
    m_unreadable.push_back(node);
    if (!m_ready)
        return;
    std::vector<std::size_t>& at = m_unreadableAt.emplace_back();
    for (std::size_t level = 1; level <= m_depth; ++level)
        at.push_back(m_stack[level].entryOffset);
}

// The folders that could not be read, as a walk in directory order meets them: by their
// entries' offsets from the location down, a folder before what lies below it.
void Walker::unreadableInWalkOrder(std::size_t from)
{
    std::vector<std::size_t> order(m_unreadable.size() - from);
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [this](std::size_t x, std::size_t y) {
        return m_unreadableAt[x] < m_unreadableAt[y];
    });
    std::vector<const FolderNode*> nodes;
    for (const std::size_t i : order)
        nodes.push_back(m_unreadable[from + i]);
    std::copy(nodes.begin(), nodes.end(), m_unreadable.begin() + static_cast<std::ptrdiff_t>(from));
    m_unreadableAt.clear();
}

// The read-ahead task a thread made for the child at entryOffset, if any; the children are
// met in offset order, so the cursor only moves forward, unless they are met sorted.
std::shared_ptr<Walker::ReadTask> Walker::readAheadTask(std::size_t entryOffset)
{
    Frame& parentFrame = m_stack[m_depth - 1];
    auto& children = parentFrame.children;
    if (m_ready) {
        const auto child =
            std::lower_bound(children.begin(), children.end(), entryOffset,
                             [](const auto& c, std::size_t offset) { return c.first < offset; });
        return child != children.end() && child->first == entryOffset ? std::move(child->second)
                                                                      : nullptr;
    }
    std::size_t& cursor = parentFrame.childCursor;
    while (cursor < children.size() && children[cursor].first < entryOffset)
        ++cursor;
    if (cursor < children.size() && children[cursor].first == entryOffset)
        return std::move(children[cursor++].second);
    return {};
}

// Takes over what a thread read; false when it is not claimed: cancelled while a thread
// still reads it, that thread keeps the task.
bool Walker::takeReadAhead(ReadTask& task, int& fd, int& error, dev_t& device)
{
    const bool claimed = claim(task);
    if (claimed) {
        fd = task.fd;
        task.fd = -1;
        error = task.error;
        device = task.device;
        if (fd >= 0)
            ++m_openDescriptors;
    }
    task.releaseSlot();
    return claimed;
}

// A folder the walk opened itself: a location starts the threads, a mount point below it is
// left alone (the folder keeps its line, its content is not read).
void Walker::checkOwnDevice(int& fd, dev_t& device, bool hasParent)
{
    struct stat own;
    if (::fstat(fd, &own) != 0)
        return;
    device = own.st_dev;
    if (!hasParent) {
        m_locationDevice = device;
        m_locationOnPseudo = onPseudoFileSystem(fd, device);
        startThreads(fd, device);
    } else if (device != m_stack[m_depth - 1].ownDevice &&
               ((m_settings.oneFileSystem && device != m_locationDevice) ||
                (!m_locationOnPseudo && onPseudoFileSystem(fd, device)))) {
        closeFd(fd);
    }
}

// The frame at m_depth, emptied for a new folder; its vectors keep their capacity.
Walker::Frame& Walker::freshFrame(int fd, dev_t device, std::size_t entryOffset)
{
    if (m_stack.size() == m_depth)
        m_stack.emplace_back();
    Frame& frame = m_stack[m_depth];
    frame.key.clear();
    if (m_depth > 0 && m_parallel && !m_ready) {
        frame.key.append(m_stack[m_depth - 1].key);
        AppendKey(frame.key, entryOffset);
    }
    frame.entryOffset = entryOffset;
    frame.fd = fd;
    frame.ownDevice = device;
    frame.next = 0;
    frame.entries.clear();
    frame.statuses.clear();
    frame.statusCursor = 0;
    frame.children.clear();
    frame.childCursor = 0;
    frame.subFolders.clear();
    frame.subCursor = 0;
    frame.handedOut = false;
    return frame;
}

// Keep the number of open descriptors bounded however deep the tree goes: past the budget the
// parent lets go of its descriptor and gets it back through ".." later. The reading threads
// hold the rest of the budget.
void Walker::boundDescriptors()
{
    const int budget = m_parallel ? m_descriptorBudget - m_poolFdCap : m_descriptorBudget;
    if (m_openDescriptors <= budget)
        return;
    Frame& parentFrame = m_stack[m_depth - 2];
    struct stat st;
    if (parentFrame.fd >= 0 && ::fstat(parentFrame.fd, &st) == 0) {
        parentFrame.device = st.st_dev;
        parentFrame.inode = st.st_ino;
        closeFd(parentFrame.fd);
    }
}

// A folder no thread read: opened by the walk itself.
int Walker::openOwn(const char* name, bool hasParent, int& error)
{
    // The location itself may be a link the user chose; below it no link is followed.
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (hasParent ? O_NOFOLLOW : 0);
    const int fd = hasParent ? ::openat(m_stack[m_depth - 1].fd, name, flags) : ::open(name, flags);
    if (fd < 0)
        error = errno;
    else
        ++m_openDescriptors;
    return fd;
}

void Walker::enterFolder(const FolderNode* parent, const char* name, int separators, int location,
                         std::size_t entryOffset)
{
    // m_path already ends in the folder's "/".
    const bool hasParent = m_depth > 0;
    std::shared_ptr<ReadTask> task = hasParent ? readAheadTask(entryOffset) : nullptr;

    int fd = -1;
    int error = 0;
    dev_t device = 0;
    bool claimed = false;
    bool queued = false; // its sub-folders, by the thread that read it
    if (task) {
        claimed = takeReadAhead(*task, fd, error, device);
    } else if (!m_cancel || !*m_cancel) {
        fd = openOwn(name, hasParent, error);
    }
    if (!task && fd >= 0)
        checkOwnDevice(fd, device, hasParent);

    Frame& frame = freshFrame(fd, device, entryOffset);
    if (claimed) {
        frame.entries.swap(task->entries);
        frame.statuses.swap(task->statuses);
        frame.children.swap(task->children);
        queued = task->subFoldersQueued;
    } else if (!task && fd >= 0) {
        error = ReadAllEntries(
            fd, m_scratch, frame.entries, [this] { m_hooks.Yield(); },
            [this] { return m_cancel && *m_cancel; });
    }

    task.reset();
    frame.filesExcluded = m_exclusions.IsExcludedFolder(WithoutTrailingSlash(m_path));
    frame.node = m_records.addFolder(parent, hasParent ? std::string(name) : m_path, error);
    frame.pathSize = m_path.size();
    if (hasParent) {
        frame.separators = separators;
        frame.location = location;
    } else if (m_settings.depthLimit != 0) {
        // Only sub-folders are measured; a location's own count is the start of theirs.
        frame.separators = CountSeparatorsToEnd(m_path);
        frame.location = kLocationUnknown;
    }
    if (error != 0)
        keepUnreadable(frame.node);
    if (m_settings.folderRecords)
        m_records.appendFolderRecord(frame.node);
    ++m_depth;
    if (m_pendingThreads > 1 && !claimed && frame.fd >= 0)
        watchForDiskWaits();
    if (m_parallel && frame.fd >= 0 && !queued)
        submitChildren(frame);
    if (hasParent && fd >= 0)
        boundDescriptors();
}

namespace {

// How often the walk thread gave up the processor waiting (for the disk, when walking).
long VoluntaryWaits()
{
    struct rusage usage {};
    return ::getrusage(RUSAGE_THREAD, &usage) == 0 ? usage.ru_nvcsw : 0;
}

// True when a processor this thread may run on is likely idle: more than one is allowed and
// no more threads are runnable right now (this one included) than there are processors less
// one. The count of this instant, not the load averages: those still hold this program's own
// runs of the last minutes, so a script of walks would turn the threads off for itself.
bool ProcessorToSpare()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    const int usable = ::sched_getaffinity(0, sizeof set, &set) == 0 ? CPU_COUNT(&set) : 1;
    if (usable < 2)
        return false;
    int runnable = 0; // the fourth field, "runnable/total", after the three load averages
    FILE* file = std::fopen("/proc/loadavg", "re");
    const bool read = file && std::fscanf(file, "%*f %*f %*f %d/", &runnable) == 1;
    if (file)
        std::fclose(file);
    return read && runnable < usable;
}

// Looked at every so many folders read; waits in half of them mean a cold cache.
constexpr unsigned kFoldersPerLook = 16;
constexpr long kWaitsForThreads = 8;

} // namespace

void Walker::waitingElsewhere(const std::function<void()>& wait)
{
    const long before = VoluntaryWaits();
    wait();
    m_waitsBefore += VoluntaryWaits() - before;
}

void Walker::startThreads(int fd, dev_t device)
{
    m_pendingThreads = 0;
    int threads = m_threads;
    if (threads == 0) {
        threads = PrefersSequentialWalk(fd, device) ? 1 : kAutoThreads;
        // Reading ahead by sub-trees takes the walk's system calls off its thread: with a
        // processor to spare the threads read from the start, warm cache or cold. On a busy
        // machine they would only add their cost (a fifth more processor time).
        const bool atOnce = m_deepReadAhead && m_startAfter == 0 && ProcessorToSpare();
        if (threads > 1 && !atOnce) {
            m_pendingThreads = threads;
            m_waitsBefore = VoluntaryWaits();
            m_foldersRead = 0;
            return;
        }
    }
    startPool(threads);
}

void Walker::watchForDiskWaits()
{
    ++m_foldersRead;
    if (m_startAfter != 0) {
        if (m_foldersRead < m_startAfter)
            return;
    } else {
        if (m_foldersRead < kFoldersPerLook)
            return;
        const long waits = VoluntaryWaits();
        const bool waiting = waits - m_waitsBefore >= kWaitsForThreads;
        m_waitsBefore = waits;
        m_foldersRead = 0;
        if (!waiting)
            return;
    }
    // The walk must fit in its half of the descriptors the threads share with it.
    if (m_openDescriptors > m_descriptorBudget / 2)
        return;
    const int threads = m_pendingThreads;
    m_pendingThreads = 0;
    startPool(threads);
}

void Walker::startPool(int threads)
{
    // Too few descriptors to share: the walk keeps them all.
    if (threads <= 1 || m_descriptorBudget < 16)
        return;
    if (m_pool && m_pool->threads() != threads)
        m_pool.reset();
    if (!m_pool)
        m_pool = std::make_unique<Pool>(*this, threads);
    if (!m_devtmpfsRead) { // the threads only read the list
        m_devtmpfs = DevtmpfsDevices();
        m_devtmpfsRead = true;
    }
    m_poolFdCap = m_descriptorBudget / 2;
    m_parallel = true;
}

void Walker::submitChildren(Frame& frame)
{
    if (!m_settings.subFolders)
        return;
    // A lone sub-folder (a chain of folders, one in the other) is read next anyway: handing it
    // to a thread would only add a wait per level.
    int subFolders = 0;
    for (std::size_t offset = 0; offset < frame.entries.size() && subFolders < 2;) {
        const auto* entry = reinterpret_cast<const struct dirent64*>(frame.entries.data() + offset);
        offset += entry->d_reclen;
        subFolders += entry->d_type == DT_DIR && !IsDotOrDotDot(entry->d_name);
    }
    if (subFolders < 2)
        return;
    // Handed out in order, the sub-folders are entered sorted, not in directory order: the
    // newest folder's go first, in directory order.
    std::string batchKey;
    if (m_ready)
        AppendKey(batchKey, ~m_batch++);
    const auto enter = [&](const char* name, bool& filesExcluded) {
        int separators = 0;
        int location = -1;
        if (!childToEnter(frame, name, separators, location))
            return false;
        filesExcluded = m_exclusions.IsExcludedFolder(m_path);
        m_path.resize(frame.pathSize);
        return true;
    };
    bool reserved = false;
    makeChildTasks(frame.entries, frame.fd, frame.ownDevice, m_ready ? batchKey : frame.key,
                   reserved, enter, frame.children);
    if (!frame.children.empty())
        m_pool->submit(frame.children);
}

// Tasks for the sub-folders among entries that enter(name, filesExcluded) takes, in entry
// order, while the threads' share of descriptors lasts; false when it ran out.
template <class Enter>
bool Walker::makeChildTasks(const std::vector<char>& entries, int fd, dev_t device,
                            std::string_view keyPrefix, bool& reserved, Enter&& enter,
                            ChildTasks& children)
{
    std::shared_ptr<SharedFd> shared;
    for (std::size_t offset = 0; offset < entries.size();) {
        const auto* entry = reinterpret_cast<const struct dirent64*>(entries.data() + offset);
        const std::size_t here = offset;
        offset += entry->d_reclen;
        bool filesExcluded = false;
        if (entry->d_type != DT_DIR || IsDotOrDotDot(entry->d_name) ||
            !enter(entry->d_name, filesExcluded))
            continue;
        if (!shared) {
            // Past the threads' share of descriptors the walk reads them when it gets there.
            if (!reserved && !reserveDescriptors(1))
                return false;
            reserved = false;
            const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
            if (copy < 0) {
                m_poolFds.fetch_sub(1);
                return false;
            }
            shared = std::make_shared<SharedFd>(copy, &m_poolFds);
        }
        auto task = std::make_shared<ReadTask>();
        task->parent = shared;
        task->name = entry->d_name;
        task->parentDevice = device;
        task->filesExcluded = filesExcluded;
        task->key.assign(keyPrefix);
        AppendKey(task->key, here);
        children.emplace_back(here, std::move(task));
    }
    return true;
}

bool Walker::reserveDescriptors(int count)
{
    int held = m_poolFds.load();
    do {
        if (held + count > m_poolFdCap)
            return false;
    } while (!m_poolFds.compare_exchange_weak(held, held + count));
    return true;
}

bool Walker::claim(ReadTask& task)
{
    auto pending = ReadTask::State::Pending;
    if (task.state.compare_exchange_strong(pending, ReadTask::State::Running)) {
        m_pool->taken(0);
        // Not started yet: read it here rather than wait for a thread to get to it.
        static const std::atomic<bool> kNever{false};
        readFolder(task, m_scratch, kNever, true);
        return true;
    }
    if (task.state.load() != ReadTask::State::Done && !awaitRead(task))
        return false;
    task.releaseSlot();
    m_pool->taken(task.accounted);
    task.accounted = 0;
    return true;
}

// Waits for a thread to finish reading the folder; false when cancelled meanwhile.
bool Walker::awaitRead(const ReadTask& task)
{
    std::unique_lock lock(m_pool->m_mutex);
    while (task.state.load() != ReadTask::State::Done) {
        // Waiting on a slow disk keeps the window alive and Cancel prompt.
        m_pool->m_awaited = &task;
        m_pool->m_done.wait_for(lock, std::chrono::milliseconds(20));
        m_pool->m_awaited = nullptr;
        if (task.state.load() == ReadTask::State::Done)
            break;
        lock.unlock();
        m_hooks.Yield();
        const bool cancelled = m_cancel && *m_cancel;
        lock.lock();
        if (cancelled)
            return false;
    }
    return true;
}

void Walker::readFolder(ReadTask& task, std::vector<char>& scratch, const std::atomic<bool>& stop,
                        bool onMainThread)
{
    const auto stopped = [&] {
        return stop.load(std::memory_order_relaxed) || (onMainThread && m_cancel && *m_cancel);
    };
    std::shared_ptr<SharedFd> parent = std::move(task.parent);
    if (stopped())
        return; // a cancelled walk opens nothing more
    int fd =
        ::openat(parent->fd, task.name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    parent.reset();
    if (fd < 0) {
        task.error = errno;
        return;
    }
    struct stat own;
    if (::fstat(fd, &own) == 0) {
        task.device = own.st_dev;
        if (own.st_dev != task.parentDevice &&
            ((m_settings.oneFileSystem && own.st_dev != m_locationDevice) ||
             (!m_locationOnPseudo && pseudoCheck(fd, own.st_dev)))) {
            ::close(fd); // a mount point left alone, as the walk does
            return;
        }
    }
    task.fd = fd;
    task.error = ReadAllEntries(
        fd, scratch, task.entries,
        [&] {
            if (onMainThread)
                m_hooks.Yield();
        },
        stopped);
    // On the walk's own thread the status is read entry by entry, between yields.
    if (onMainThread)
        return;
    if (task.entries.size() <= kStatusesUpTo)
        readStatuses(task, fd, stop);
    if (m_deepReadAhead && !stop.load(std::memory_order_relaxed))
        task.subFoldersQueued = makeChildTasks(
            task.entries, fd, task.device, task.key, task.spareDescriptor,
            [](const char*, bool&) { return true; }, task.children);
}

// The same entries the walk would ask the status of: files it takes, and entries whose type
// the directory does not tell. Off the walk's thread only a stop ends it.
void Walker::readStatuses(ReadTask& task, int fd, const std::atomic<bool>& stop) const
{
    std::size_t entries = 0; // room for all at once: growing it step by step costs more
    for (std::size_t offset = 0; offset < task.entries.size(); ++entries)
        offset += reinterpret_cast<const struct dirent64*>(task.entries.data() + offset)->d_reclen;
    task.statuses.reserve(entries);
    std::size_t count = 0;
    for (std::size_t offset = 0; offset < task.entries.size();) {
        const auto* entry = reinterpret_cast<const struct dirent64*>(task.entries.data() + offset);
        const std::size_t here = offset;
        offset += entry->d_reclen;
        if (entry->d_type == DT_DIR ||
            (entry->d_type != DT_UNKNOWN && !takesFile(entry->d_name, task.filesExcluded)))
            continue;
        if (++count % 256 == 0 && stop.load(std::memory_order_relaxed))
            return;
        EntryStatus status;
        status.offset = static_cast<std::uint32_t>(here);
        struct stat st;
        if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            status.error = errno;
        } else {
            status.mode = st.st_mode;
            status.links = static_cast<std::uint32_t>(std::min<nlink_t>(st.st_nlink, 0xFFFFFFFFu));
            status.size = static_cast<std::int64_t>(st.st_size);
            status.blocks = static_cast<std::int64_t>(st.st_blocks);
            status.modified = static_cast<std::int64_t>(st.st_mtime);
            status.device = st.st_dev;
            status.inode = st.st_ino;
        }
        task.statuses.push_back(status);
    }
}

bool Walker::onPseudoFileSystem(int fd, dev_t device)
{
    if (!m_devtmpfsRead) {
        struct statfs info;
        if (::fstatfs(fd, &info) != 0 || info.f_type != TMPFS_MAGIC)
            return pseudoCheck(fd, device);
        m_devtmpfs = DevtmpfsDevices();
        m_devtmpfsRead = true;
    }
    return pseudoCheck(fd, device);
}

bool Walker::pseudoCheck(int fd, dev_t device) const
{
    struct statfs info;
    if (::fstatfs(fd, &info) != 0)
        return false;
    if (IsPseudoFileSystem(static_cast<long long>(info.f_type)))
        return true;
    if (info.f_type != TMPFS_MAGIC)
        return false;
    return std::find(m_devtmpfs.begin(), m_devtmpfs.end(), device) != m_devtmpfs.end();
}

void Walker::leaveFolder()
{
    Frame& frame = m_stack[m_depth - 1];
    if (m_depth >= 2) {
        Frame& parent = m_stack[m_depth - 2];
        if (parent.fd < 0 && frame.fd >= 0) {
            const int fd = ::openat(frame.fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            struct stat st;
            if (fd >= 0 && ::fstat(fd, &st) == 0 && st.st_dev == parent.device &&
                st.st_ino == parent.inode) {
                parent.fd = fd;
                ++m_openDescriptors;
            } else if (fd >= 0) {
                // The parent moved away meanwhile: its remaining entries cannot be reached.
                ::close(fd);
            }
        }
    }
    closeFd(frame.fd);
    frame.children.clear();
    --m_depth;

    if (m_depth > 0) {
        // The sub-folder's entry of the parent is handled now that its walk is over.
        if (m_entryCount % 50 == 0)
            m_hooks.Status(QStringLiteral("Scanning... ") + QString::fromUtf8(m_path));
        ++m_entryCount;
        m_path.resize(m_stack[m_depth - 1].pathSize);
    }
}

void Walker::unwind()
{
    while (m_depth > 0) {
        closeFd(m_stack[m_depth - 1].fd);
        m_stack[m_depth - 1].children.clear();
        --m_depth;
    }
    if (m_pool)
        m_pool->drain();
}

bool Walker::childToEnter(const Frame& frame, const char* name, int& separators, int& location)
{
    // Leaves m_path at the sub-folder's path without its "/" when it is entered.
    const std::size_t nameLength = std::strlen(name);
    m_path.resize(frame.pathSize);
    m_path.append(name, nameLength);
    separators = 0;
    location = -1;
    if (m_settings.depthLimit != 0) {
        location = locationOfChild(frame);
        separators = frame.separators;
        const int locationCount =
            location < 0 ? 0 : m_locationSeparators[static_cast<std::size_t>(location)];
        if (separators - locationCount > m_settings.depthLimit) {
            m_path.resize(frame.pathSize);
            return false;
        }
    }
    if (m_exclusions.includeSubFolders() && m_exclusions.IsExcludedFolder(m_path)) {
        m_path.resize(frame.pathSize);
        return false;
    }
    return true;
}

int Walker::statEntry(Frame& frame, const char* name, std::size_t offset, struct stat& st)
{
    std::size_t& cursor = frame.statusCursor;
    while (cursor < frame.statuses.size() && frame.statuses[cursor].offset < offset)
        ++cursor;
    if (cursor < frame.statuses.size() && frame.statuses[cursor].offset == offset) {
        const EntryStatus& status = frame.statuses[cursor++];
        if (status.error != 0)
            return status.error;
        std::memset(&st, 0, sizeof st);
        st.st_mode = status.mode;
        st.st_nlink = status.links;
        st.st_size = status.size;
        st.st_blocks = status.blocks;
        st.st_mtim.tv_sec = status.modified;
        st.st_dev = status.device;
        st.st_ino = status.inode;
        return 0;
    }
    return ::fstatat(frame.fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
}

void Walker::handleEntry(std::size_t frameIndex, const char* name, unsigned char type,
                         std::size_t offset)
{
    Frame& frame = m_stack[frameIndex];
    struct stat st;
    bool statRead = false;
    if (type == DT_UNKNOWN) {
        // Some file systems do not fill in the type: ask.
        const int error = statEntry(frame, name, offset, st);
        if (error != 0) {
            if (error != ENOENT) // there, but its status cannot be read: listed as a file
                takeFile(frame, name, nullptr, error, offset);
            ++m_entryCount; // vanished meanwhile
            return;
        }
        type = S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
        statRead = true;
    }

    if (type == DT_DIR) {
        if (IsDotOrDotDot(name) || !m_settings.subFolders) {
            ++m_entryCount;
            return;
        }
        if (m_ready)
            frame.subFolders.push_back(offset); // entered once the files are out
        else
            enterSubFolder(frame, name, offset);
        return;
    }

    takeFile(frame, name, statRead ? &st : nullptr, 0, offset);
    ++m_entryCount;
}

void Walker::enterSubFolder(const Frame& frame, const char* name, std::size_t offset)
{
    int separators = 0;
    int location = -1;
    if (!childToEnter(frame, name, separators, location)) {
        ++m_entryCount;
        return;
    }
    m_path += '/';
    // Counted when it is left.
    enterFolder(frame.node, name, separators + 1, location, offset);
}

int Walker::locationOfChild(const Frame& frame) const
{
    // The location PathDepth would pick for m_path (the sub-folder, no "/" at its end): the
    // first whose lower-cased text begins the lower-cased path. A location that begins the
    // parent's path also begins this one, so only locations longer than the parent's path can
    // take over; while none is that long, the parent's answer stands and the path is not read.
    const std::size_t parentLength = frame.pathSize == 0 ? 0 : frame.pathSize - 1;
    if (frame.location != kLocationUnknown && parentLength >= m_longestLocation)
        return frame.location;
    const std::string lowerPath = AsciiLower(m_path);
    for (std::size_t i = 0; i < m_lowerLocations.size(); ++i) {
        const std::string& candidate = m_lowerLocations[i];
        if (candidate.size() <= lowerPath.size() &&
            std::string_view(lowerPath).substr(0, candidate.size()) == candidate)
            return static_cast<int>(i);
    }
    return -1;
}

bool Walker::takesFile(const char* name, bool filesExcluded) const
{
    if ((!m_settings.includeHidden && IsHiddenName(name)) || filesExcluded ||
        !m_settings.fileRecords)
        return false;
    const std::string_view view(name);
    return !m_exclusions.IsExcludedFileName(view) && !m_exclusions.IsExcludedExtension(view) &&
           m_filter.takes(view);
}

void Walker::takeFile(Frame& frame, const char* name, const struct stat* known, int statError,
                      std::size_t offset)
{
    // Links, pipes and devices are listed like files; a link is never followed.
    if (!takesFile(name, frame.filesExcluded))
        return;
    const std::string_view view(name);
    struct stat st;
    if (!known && statError == 0) {
        // Only ENOENT means the file is gone; any other failure (EACCES in a folder that can
        // be listed but not entered) keeps the file, its values unknown, and is told.
        const int error = statEntry(frame, name, offset, st);
        if (error != 0) {
            if (error == ENOENT)
                return;
            statError = error;
        } else if (S_ISDIR(st.st_mode)) {
            return; // replaced by a folder since it was listed
        }
        known = &st;
    }
    if (statError != 0) {
        m_records.appendUnreadableFile(frame.node, std::string(view), statError);
        ++m_unreadableFiles;
        return;
    }
    m_records.appendFile(frame.node, std::string(view), *known);
    if (m_settings.sizeOnDisk || m_settings.countHardLinksOnce) {
        ScanRecord& record = m_records.items().back();
        if (m_settings.sizeOnDisk)
            record.size = static_cast<std::int64_t>(known->st_blocks) * 512;
        if (m_settings.countHardLinksOnce && known->st_nlink > 1 && !S_ISDIR(known->st_mode))
            record.repeatLink = !firstLink(known->st_dev, known->st_ino);
    }
    if (m_fileSeen)
        m_fileSeen->seen(m_records, m_records.lastIndex());
}

bool Walker::firstLink(std::uint64_t device, std::uint64_t inode)
{
    // Only inodes with more than one link are kept: 16 bytes each, the table at most half
    // full. A (0, 0) pair never names a file, so it marks a free slot.
    if (2 * (m_linkedCount + 1) > m_linkedInodes.size()) {
        std::vector<std::pair<std::uint64_t, std::uint64_t>> old(
            std::max<std::size_t>(64, 2 * m_linkedInodes.size()));
        old.swap(m_linkedInodes);
        m_linkedCount = 0;
        for (const auto& [d, i] : old)
            if (d != 0 || i != 0)
                firstLink(d, i);
    }
    const std::size_t mask = m_linkedInodes.size() - 1;
    std::size_t slot = static_cast<std::size_t>((inode * 0x9E3779B97F4A7C15ULL) ^ device) & mask;
    for (;; slot = (slot + 1) & mask) {
        auto& entry = m_linkedInodes[slot];
        if (entry.first == device && entry.second == inode)
            return false;
        if (entry.first == 0 && entry.second == 0) {
            entry = {device, inode};
            ++m_linkedCount;
            return true;
        }
    }
}

} // namespace quillon
