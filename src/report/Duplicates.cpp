#include "report/ScanSummary.h"

#include "details/CrcCtrl.h"
#include "details/FileAt.h"
#include "details/FileDetails.h"
#include "platform/CommandError.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <utility>

// The duplicates summary: files of equal size and equal CRC32 (and, when asked, equal bytes),
// read in place, on a thread of their own while the report is laid out, or as the walk
// meets them.

namespace quillon {

namespace {

bool MayRepeat(const ScanRecord& record)
{
    return record.isFile() && !record.repeatLink && record.statError == 0 &&
           !(record.statKnown && record.link) && record.size > 0;
}

// What the first pass reads of each file.
constexpr std::uint64_t kPrefix = 4096;

struct Candidate {
    std::int64_t size = 0;
    std::size_t record = 0;
    std::uint32_t crc = 0;
    dev_t device = 0;
    ino_t inode = 0;
    bool read = false;
    bool sizeKept = false; // the first pass found the size the scan saw
};

// Opens files of the records through their folder, so that a path beyond PATH_MAX still
// opens; the folder is opened again only when the next file lies in another.
class RecordOpener {
public:
    // The open file (st its status), or -1 with errno set.
    int open(const ScanRecord& record, struct stat& st)
    {
        return open(record.folder, record.name.c_str(), st);
    }

    int open(const FolderNode* folder, const char* name, struct stat& st)
    {
        if (!m_moved || !SamePath(folder, m_folder)) {
            m_folder = folder;
            m_moved = true;
            m_cursor.moveTo(folder ? folder->path() : std::string());
        }
        if (m_cursor.descriptor() >= 0)
            return OpenListedRegular(FileAt{m_cursor.descriptor(), name}, st);
        std::string full = folder ? folder->path() : std::string();
        full.append(name);
        return OpenListedRegular(FileAt::Path(full), st);
    }

private:
    FolderCursor m_cursor;
    const FolderNode* m_folder = nullptr;
    bool m_moved = false;
};

// Owns a descriptor; moved, never copied, so it is closed once.
struct Fd {
    int fd = -1;
    explicit Fd(int descriptor) : fd(descriptor) {}
    Fd(Fd&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd& operator=(Fd&&) = delete;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// A file gone since the scan, or no longer a regular file, has nothing to compare; any other
// failure to open or read it is told.
bool GoneOrReplaced(int error)
{
    return error == ENOENT || error == ELOOP || error == EINVAL;
}

// What the first pass learns of one file.
struct Prefix {
    enum class Outcome : std::uint8_t { Pending, Read, Left, Unreadable };
    Outcome outcome = Outcome::Pending;
    bool sizeKept = false; // the file still has the size the scan saw
    int error = 0;         // why an unreadable one could not be read
    std::uint32_t crc = 0;
    dev_t device = 0;
    ino_t inode = 0;
};

// What a failed open (errno) says of a file: gone or replaced since the scan, or unreadable.
Prefix OpenFailure()
{
    Prefix failed;
    failed.error = errno;
    failed.outcome =
        GoneOrReplaced(failed.error) ? Prefix::Outcome::Left : Prefix::Outcome::Unreadable;
    return failed;
}

// Reads the first block of a file the scan saw size bytes long (a small file whole).
Prefix ReadPrefix(RecordOpener& opener, CrcCtrl& crc, const FolderNode* folder, const char* name,
                  std::int64_t size)
{
    Prefix prefix;
    struct stat st {};
    const Fd file{opener.open(folder, name, st)};
    if (file.fd < 0)
        return OpenFailure();
    const std::uint64_t wanted = std::min(static_cast<std::uint64_t>(size), kPrefix);
    try {
        // Only the error number is kept: no path is built for the message.
        crc.ComputePrefix(file.fd, static_cast<std::size_t>(wanted), {});
    } catch (const CommandError& e) {
        prefix.error = e.number() > 0 ? e.number() : EIO;
        prefix.outcome = Prefix::Outcome::Unreadable;
        return prefix;
    }
    // Shorter than the scan saw: no longer the file listed.
    prefix.outcome = crc.BytesRead() < wanted ? Prefix::Outcome::Left : Prefix::Outcome::Read;
    prefix.crc = crc.Value();
    prefix.device = st.st_dev;
    prefix.inode = st.st_ino;
    prefix.sizeKept = st.st_size == size;
    return prefix;
}

// The whole checksum of a file larger than a block whose first block was read (prefix): a
// file replaced or changed since then is left out.
Prefix ReadWhole(RecordOpener& opener, CrcCtrl& crc, const FolderNode* folder, const char* name,
                 std::int64_t size, const Prefix& prefix)
{
    Prefix whole;
    struct stat st {};
    const Fd file{opener.open(folder, name, st)};
    if (file.fd < 0)
        return OpenFailure();
    whole.outcome = Prefix::Outcome::Left;
    if (st.st_size != size || st.st_dev != prefix.device || st.st_ino != prefix.inode)
        return whole;
    try {
        if (crc.ComputeOpen(file.fd, {}) != CrcCtrl::Outcome::Done)
            return whole;
    } catch (const CommandError& e) {
        whole.error = e.number() > 0 ? e.number() : EIO;
        whole.outcome = Prefix::Outcome::Unreadable;
        return whole;
    }
    whole.outcome = Prefix::Outcome::Read;
    whole.crc = crc.Value();
    whole.device = prefix.device;
    whole.inode = prefix.inode;
    whole.sizeKept = true;
    return whole;
}

} // namespace

struct DuplicatesFeed::State {
    struct Entry {
        const FolderNode* folder = nullptr;
        const char* name = nullptr; // in names
        std::int64_t size = 0;
        bool first = false; // the first of its size, from a folder left long ago
        Prefix prefix;      // its reader's until it is no longer counted in reading
        Prefix whole;       // likewise, once listed to be read whole
    };

    std::mutex mutex;
    std::condition_variable more; // an entry was queued, or the queue closed
    std::condition_variable idle; // a reading ended
    std::deque<Entry> entries;    // grows under mutex; its entries stay where they are
    std::size_t front = 0;        // entries [front, end) wait for a reader; under mutex
    std::size_t end = 0;
    std::size_t reading = 0; // claimed, not yet read; under mutex
    bool closed = false;     // under mutex: nothing more is queued
    // The files to read whole (places in entries), listed once every first block is read;
    // [wholeFront, wholeEnd) wait for a reader. Under mutex.
    std::vector<std::size_t> whole;
    std::size_t wholeFront = 0;
    std::size_t wholeEnd = 0;
    bool wholeListed = false;
    bool waiting = false; // under mutex: the thread waits for more
    // Woken for a handful of files, not for each: a wake costs about as much as a file.
    static constexpr std::size_t kWakeAfter = 64;
    std::atomic<bool> stop{false};
    std::exception_ptr failure; // under mutex
    std::thread thread;

    // The walk's own: each size seen, with the index of its first file until a second one is
    // seen (kQueued then). Most files are small: their sizes are looked up directly; the others
    // by open addressing, where size 0 marks a free slot (no candidate is empty).
    static constexpr std::size_t kUnseen = 0;
    static constexpr std::size_t kQueued = SIZE_MAX;
    static constexpr std::int64_t kSmallSizes = 1 << 16;
    std::vector<std::size_t> smallSizes;
    std::vector<std::pair<std::int64_t, std::size_t>> sizes;
    std::size_t sizeCount = 0;

    // The names of the queued files, one block after another, so that queueing a file costs
    // no allocation of its own; and the entries not yet handed over.
    std::vector<std::unique_ptr<char[]>> names;
    char* nextName = nullptr;
    std::size_t namesLeft = 0;
    std::vector<Entry> pending;
    // The first files of their sizes, by their place in the walk: read once the walk is over,
    // a folder's together, rather than each through its folder opened anew.
    std::vector<std::pair<std::size_t, Entry>> firsts;

    std::size_t sizeSeen(std::int64_t size, std::size_t index);
    std::pair<std::int64_t, std::size_t>& sizeSlot(std::int64_t size);
    void queue(const ScanRecord& record, std::size_t index, bool first);
    void handOver();
};

namespace {

using FeedState = DuplicatesFeed::State;

// Ends one reading, under the feed's lock: a failure stops the feed, and the last reading of
// a queue with nothing left in it (only that one is waited for) wakes the waiters.
void EndReading(FeedState& s, const std::exception_ptr& failure, bool queueDone)
{
    --s.reading;
    if (failure) {
        s.failure = failure;
        s.stop = true;
    }
    if (s.reading == 0 && (queueDone || s.stop))
        s.idle.notify_all();
}

// Reads the queued entries until none is left: from the front, in the walk's order, or from
// the back for a second reader. With wait, waits for more until the queue is closed.
void ReadQueued(FeedState& s, bool fromBack, bool wait, const std::function<bool()>& stopped)
{
    // The files of the folder being walked through one, those queued late through another,
    // so that neither has to open its folder again after each of the other's.
    RecordOpener openers[2];
    CrcCtrl crc;
    std::unique_lock lock(s.mutex);
    while (!s.stop && !(stopped && stopped())) {
        if (s.front == s.end) {
            if (!wait || s.closed)
                break;
            s.waiting = true;
            s.more.wait(lock, [&s] {
                return s.end - s.front >= FeedState::kWakeAfter || s.closed || s.stop;
            });
            s.waiting = false;
            continue;
        }
        FeedState::Entry& entry = fromBack ? s.entries[--s.end] : s.entries[s.front++];
        ++s.reading;
        lock.unlock();
        Prefix prefix;
        std::exception_ptr failure;
        try {
            prefix =
                ReadPrefix(openers[entry.first ? 1 : 0], crc, entry.folder, entry.name, entry.size);
        } catch (...) {
            failure = std::current_exception(); // thrown again where the feed is taken
        }
        lock.lock();
        entry.prefix = prefix;
        EndReading(s, failure, s.front == s.end);
    }
}

// Lists, in the walk's order, every file larger than a block whose size and first block
// another file shares: the files the summary will want read whole.
void ListWhole(FeedState& s)
{
    // size, checksum, place, and whether the file is read whole if the two are shared
    std::vector<std::tuple<std::int64_t, std::uint32_t, std::size_t, bool>> read;
    std::size_t place = 0;
    for (const FeedState::Entry& entry : s.entries) {
        const Prefix& prefix = entry.prefix;
        if (prefix.outcome == Prefix::Outcome::Read)
            read.emplace_back(entry.size, prefix.crc, place,
                              prefix.sizeKept && static_cast<std::uint64_t>(entry.size) > kPrefix);
        ++place;
    }
    std::sort(read.begin(), read.end());
    std::vector<std::size_t> again;
    for (std::size_t i = 0; i < read.size();) {
        std::size_t j = i + 1;
        while (j < read.size() && std::get<0>(read[j]) == std::get<0>(read[i]) &&
               std::get<1>(read[j]) == std::get<1>(read[i]))
            ++j;
        for (std::size_t k = i; j - i > 1 && k < j; ++k) {
            if (std::get<3>(read[k]))
                again.push_back(std::get<2>(read[k]));
        }
        i = j;
    }
    std::sort(again.begin(), again.end());
    const std::lock_guard lock(s.mutex);
    s.wholeEnd = again.size();
    s.whole = std::move(again);
}

// Reads the listed files whole until none is left: from the front, or from the back for a
// second reader. One link of a file is read for all links this reader meets.
void ReadWholeListed(FeedState& s, bool fromBack, const std::function<bool()>& stopped)
{
    const auto stop = [&s, &stopped] { return s.stop || (stopped && stopped()); };
    std::map<std::pair<dev_t, ino_t>, std::uint32_t> known;
    RecordOpener opener;
    CrcCtrl crc;
    crc.SetInterrupt(stop);
    std::unique_lock lock(s.mutex);
    while (s.wholeFront < s.wholeEnd && !stop()) {
        FeedState::Entry& entry =
            s.entries[fromBack ? s.whole[--s.wholeEnd] : s.whole[s.wholeFront++]];
        ++s.reading;
        lock.unlock();
        const Prefix& prefix = entry.prefix;
        Prefix whole = prefix;
        std::exception_ptr failure;
        if (const auto link = known.find({prefix.device, prefix.inode}); link != known.end()) {
            whole.crc = link->second;
        } else {
            try {
                whole = ReadWhole(opener, crc, entry.folder, entry.name, entry.size, prefix);
            } catch (...) {
                failure = std::current_exception(); // thrown again where the feed is taken
            }
            if (whole.outcome == Prefix::Outcome::Read)
                known.emplace(std::make_pair(prefix.device, prefix.inode), whole.crc);
        }
        lock.lock();
        entry.whole = whole;
        EndReading(s, failure, s.wholeFront == s.wholeEnd);
    }
}

// The feed's thread: the first blocks as the walk queues them, then, once the walk is over
// and the last first block is read, the files to read whole.
void RunFeed(FeedState& s)
{
    ReadQueued(s, false, true, {});
    {
        std::unique_lock lock(s.mutex);
        s.idle.wait(lock, [&s] { return s.reading == 0 || s.stop; });
    }
    if (!s.stop) {
        try {
            ListWhole(s);
        } catch (...) {
            const std::lock_guard lock(s.mutex);
            s.failure = std::current_exception();
            s.stop = true;
        }
    }
    {
        const std::lock_guard lock(s.mutex);
        s.wholeListed = true;
        s.idle.notify_all();
    }
    ReadWholeListed(s, false, {});
}

// The feed's entries by folder and name (open addressing).
class FeedIndex {
public:
    void build(const std::deque<FeedState::Entry>& entries)
    {
        std::size_t size = 16;
        while (size < 2 * entries.size())
            size *= 2;
        m_slots.assign(size, nullptr);
        for (const FeedState::Entry& entry : entries) {
            std::size_t at = slotOf(entry.folder, entry.name);
            while (m_slots[at])
                at = (at + 1) & (m_slots.size() - 1);
            m_slots[at] = &entry;
        }
    }

    const FeedState::Entry* find(const FolderNode* folder, const std::string& name) const
    {
        if (m_slots.empty())
            return nullptr;
        for (std::size_t at = slotOf(folder, name);; at = (at + 1) & (m_slots.size() - 1)) {
            const FeedState::Entry* entry = m_slots[at];
            if (!entry || (entry->folder == folder &&
                           std::strncmp(entry->name, name.c_str(), name.size() + 1) == 0))
                return entry;
        }
    }

private:
    std::size_t slotOf(const FolderNode* folder, std::string_view name) const
    {
        std::size_t hash = std::hash<std::string_view>()(name) ^
                           (reinterpret_cast<std::uintptr_t>(folder) * 0x9E3779B97F4A7C15ULL);
        hash ^= hash >> 29;
        return hash & (m_slots.size() - 1);
    }

    std::vector<const FeedState::Entry*> m_slots;
};

// Reads up to size bytes at offset in full; the count read, or -1 with errno set.
ssize_t ReadFully(int fd, unsigned char* buffer, std::size_t size, off_t at)
{
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd, buffer + got, size - got, at + static_cast<off_t>(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

enum class Bytes { Same, Differ, FirstFailed, SecondFailed, Stopped };

// Compares two open files block by block; memory stays two blocks whatever their size.
Bytes CompareOpen(int a, int b, unsigned char* bufferA, unsigned char* bufferB, std::size_t block,
                  const SummaryHooks& hooks, int* error)
{
    for (off_t at = 0;;) {
        const ssize_t gotA = ReadFully(a, bufferA, block, at);
        if (gotA < 0) {
            *error = errno;
            return Bytes::FirstFailed;
        }
        const ssize_t gotB = ReadFully(b, bufferB, block, at);
        if (gotB < 0) {
            *error = errno;
            return Bytes::SecondFailed;
        }
        if (gotA != gotB || std::memcmp(bufferA, bufferB, static_cast<std::size_t>(gotA)) != 0)
            return Bytes::Differ;
        if (gotA == 0)
            return Bytes::Same;
        at += gotA;
        if (hooks.yield)
            hooks.yield();
        if (hooks.cancelled && hooks.cancelled())
            return Bytes::Stopped;
    }
}

class DuplicateFinder {
public:
    // With feed, what it read is taken; this thread helps it once mayHelp is set.
    DuplicateFinder(const RecordList& records, const SummaryHooks& hooks, ScanSummary& summary,
                    FeedState* feed = nullptr, const std::atomic<bool>* mayHelp = nullptr)
        : m_records(records), m_hooks(hooks), m_summary(summary), m_feed(feed), m_mayHelp(mayHelp)
    {}

    void run(bool sameBytes)
    {
        std::vector<Candidate> candidates;
        for (std::size_t k = 1; k <= m_records.lastIndex(); ++k) {
            if (MayRepeat(m_records[k]))
                candidates.push_back({m_records[k].size, k});
        }
        // Only a size that another file shares is worth reading.
        std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
            return a.size != b.size ? a.size < b.size : a.record < b.record;
        });
        std::vector<Candidate> shared;
        for (std::size_t i = 0; i < candidates.size();) {
            std::size_t j = i + 1;
            while (j < candidates.size() && candidates[j].size == candidates[i].size)
                ++j;
            if (j - i > 1)
                shared.insert(shared.end(), candidates.begin() + static_cast<std::ptrdiff_t>(i),
                              candidates.begin() + static_cast<std::ptrdiff_t>(j));
            i = j;
        }
        candidates = {};
        // Read in the scan's order: a folder's files one after another.
        std::sort(shared.begin(), shared.end(),
                  [](const Candidate& a, const Candidate& b) { return a.record < b.record; });
        readChecksums(shared);
        std::erase_if(shared, [](const Candidate& c) { return !c.read; });
        std::sort(shared.begin(), shared.end(), [](const Candidate& a, const Candidate& b) {
            if (a.size != b.size)
                return a.size < b.size;
            return a.crc != b.crc ? a.crc < b.crc : a.record < b.record;
        });
        for (std::size_t i = 0; i < shared.size() && !stopped();) {
            std::size_t j = i + 1;
            while (j < shared.size() && shared[j].size == shared[i].size &&
                   shared[j].crc == shared[i].crc)
                ++j;
            std::vector<Candidate> group(shared.begin() + static_cast<std::ptrdiff_t>(i),
                                         shared.begin() + static_cast<std::ptrdiff_t>(j));
            if (group.size() > 1) {
                if (sameBytes)
                    splitByBytes(group);
                else
                    addGroup(group);
            }
            i = j;
        }
        std::sort(m_summary.duplicates.begin(), m_summary.duplicates.end(),
                  [](const DuplicateGroup& a, const DuplicateGroup& b) {
                      if (a.wasted() != b.wasted())
                          return a.wasted() > b.wasted();
                      if (a.size != b.size)
                          return a.size > b.size;
                      return a.paths.front() < b.paths.front();
                  });
        std::sort(m_summary.unreadable.begin(), m_summary.unreadable.end());
    }

private:
    bool stopped()
    {
        if (!m_summary.stopped && m_hooks.cancelled && m_hooks.cancelled())
            m_summary.stopped = true;
        return m_summary.stopped;
    }

    void tell(std::size_t record, int error)
    {
        const std::string path = m_records[record].fullPath();
        if (m_hooks.unreadable)
            m_hooks.unreadable(path,
                               QString::fromLocal8Bit(UnreadableReason(error, kCrcDetail).c_str()));
        m_summary.unreadable.push_back(path);
    }

    // Two passes: the first block of every file whose size is shared (a small file is then
    // read whole), and only where size and that block's checksum are shared too, the whole
    // file. Most files of one size differ early, so most are never read beyond a block.
    void readChecksums(std::vector<Candidate>& shared)
    {
        if (m_feed && !shared.empty() && !takeFeed(shared))
            return;
        for (Candidate& c : shared) {
            if (stopped())
                return;
            readPrefix(c);
        }
        std::vector<Candidate*> ordered;
        for (Candidate& c : shared) {
            if (c.read)
                ordered.push_back(&c);
        }
        std::sort(ordered.begin(), ordered.end(), [](const Candidate* a, const Candidate* b) {
            return a->size != b->size ? a->size < b->size : a->crc < b->crc;
        });
        std::vector<Candidate*> again;
        for (std::size_t i = 0; i < ordered.size();) {
            std::size_t j = i + 1;
            while (j < ordered.size() && ordered[j]->size == ordered[i]->size &&
                   ordered[j]->crc == ordered[i]->crc)
                ++j;
            for (std::size_t k = i; k < j; ++k) {
                if (j - i > 1)
                    again.push_back(ordered[k]);
                else
                    ordered[k]->read = false; // alone: no copy, nothing more to read
            }
            i = j;
        }
        std::sort(again.begin(), again.end(),
                  [](const Candidate* a, const Candidate* b) { return a->record < b->record; });
        CrcCtrl crc;
        crc.SetInterrupt([this] {
            if (m_hooks.yield)
                m_hooks.yield();
            return stopped();
        });
        RecordOpener opener;
        for (Candidate* c : again) {
            if (stopped())
                return;
            readWhole(*c, crc, opener);
        }
    }

    const FeedState::Entry* fedOf(const Candidate& c) const
    {
        return m_fedOf.empty() ? nullptr : m_fedOf[static_cast<std::size_t>(&c - m_sharedBegin)];
    }

    // The first block as the walk's feed read it, else read now.
    void readPrefix(Candidate& c)
    {
        const ScanRecord& record = m_records[c.record];
        const FeedState::Entry* fed = fedOf(c);
        const Prefix* prefix = fed ? &fed->prefix : nullptr;
        Prefix readNow;
        if (!prefix || prefix->outcome == Prefix::Outcome::Pending) {
            if (m_hooks.yield)
                m_hooks.yield();
            readNow = ReadPrefix(m_opener, m_crc, record.folder, record.name.c_str(), c.size);
            prefix = &readNow;
        }
        if (prefix->outcome == Prefix::Outcome::Unreadable)
            tell(c.record, prefix->error);
        if (prefix->outcome != Prefix::Outcome::Read)
            return;
        c.crc = prefix->crc;
        c.read = true;
        c.device = prefix->device;
        c.inode = prefix->inode;
        c.sizeKept = prefix->sizeKept;
    }

    // Takes the first blocks read as the walk went: the walk is over, so the queue is closed
    // and this thread reads what is left from its back while the feed's reads from its front.
    // False when stopped first.
    bool takeFeed(const std::vector<Candidate>& shared)
    {
        FeedState& s = *m_feed;
        {
            const std::lock_guard lock(s.mutex);
            s.closed = true;
            s.more.notify_all();
        }
        // Each candidate's entry is found while the report is still being laid out.
        FeedIndex index;
        if (!stopped())
            index.build(s.entries);
        m_sharedBegin = shared.data();
        m_fedOf.resize(shared.size());
        for (std::size_t i = 0; i < shared.size() && !(i % 4096 == 0 && stopped()); ++i) {
            const ScanRecord& record = m_records[shared[i].record];
            m_fedOf[i] = index.find(record.folder, record.name);
        }
        // Until the report's own lines are written this thread would only take their core.
        {
            std::unique_lock lock(s.mutex);
            while (!(m_mayHelp && *m_mayHelp) && !stopped() &&
                   !(s.wholeListed && s.wholeFront == s.wholeEnd && s.reading == 0))
                s.idle.wait_for(lock, std::chrono::milliseconds(5));
        }
        ReadQueued(s, true, false, [this] { return stopped(); });
        {
            std::unique_lock lock(s.mutex);
            while (!s.wholeListed && !stopped())
                s.idle.wait_for(lock, std::chrono::milliseconds(20));
        }
        ReadWholeListed(s, true, [this] { return stopped(); });
        std::unique_lock lock(s.mutex);
        while (((s.wholeFront < s.wholeEnd && !s.stop) || s.reading > 0) && !stopped())
            s.idle.wait_for(lock, std::chrono::milliseconds(20));
        if (s.failure)
            std::rethrow_exception(s.failure);
        if (stopped()) {
            s.stop = true;
            return false;
        }
        // A feed that stopped early left files unread: they are read here.
        return true;
    }

    void readWhole(Candidate& c, CrcCtrl& crc, RecordOpener& opener)
    {
        c.read = false;
        // A file that changed size since the scan is no longer the file listed.
        if (!c.sizeKept)
            return;
        // A file of one block was read whole already; another link of a file read before
        // has its checksum.
        const auto known = m_inodeCrc.find({c.device, c.inode});
        if (known != m_inodeCrc.end()) {
            c.crc = known->second;
        } else if (static_cast<std::uint64_t>(c.size) > kPrefix) {
            const ScanRecord& record = m_records[c.record];
            const FeedState::Entry* fed = fedOf(c);
            Prefix readNow;
            if (!fed || fed->whole.outcome == Prefix::Outcome::Pending) {
                const Prefix prefix{Prefix::Outcome::Read, true, 0, c.crc, c.device, c.inode};
                readNow =
                    ReadWhole(opener, crc, record.folder, record.name.c_str(), c.size, prefix);
            }
            const Prefix& whole =
                readNow.outcome != Prefix::Outcome::Pending ? readNow : fed->whole;
            if (whole.outcome == Prefix::Outcome::Unreadable)
                tell(c.record, whole.error);
            if (whole.outcome != Prefix::Outcome::Read)
                return;
            c.crc = whole.crc;
        }
        c.read = true;
        m_inodeCrc.emplace(std::make_pair(c.device, c.inode), c.crc);
        ++m_summary.filesRead;
    }

    void addGroup(const std::vector<Candidate>& group)
    {
        DuplicateGroup out;
        out.size = group.front().size;
        out.crc = group.front().crc;
        std::vector<std::pair<dev_t, ino_t>> inodes;
        for (const Candidate& c : group) {
            out.paths.push_back(m_records[c.record].fullPath());
            inodes.emplace_back(c.device, c.inode);
        }
        std::sort(inodes.begin(), inodes.end());
        const auto distinct =
            static_cast<std::uint64_t>(std::unique(inodes.begin(), inodes.end()) - inodes.begin());
        // Links of one file only: no space is wasted.
        if (distinct < 2)
            return;
        out.copies = distinct - 1;
        m_summary.duplicates.push_back(std::move(out));
    }

    Fd open(std::size_t record, int* error)
    {
        RecordOpener opener;
        struct stat st {};
        Fd file{opener.open(m_records[record], st)};
        *error = file.fd < 0 ? errno : 0;
        return file;
    }

    static constexpr std::size_t kBlock = 256 * 1024;

    // Files of equal size and checksum fall into classes of equal bytes: each file is
    // compared with the first file of each class until one matches.
    void splitByBytes(const std::vector<Candidate>& group)
    {
        if (!m_bufferA) {
            m_bufferA = std::make_unique_for_overwrite<unsigned char[]>(kBlock);
            m_bufferB = std::make_unique_for_overwrite<unsigned char[]>(kBlock);
        }
        std::vector<std::vector<Candidate>> classes;
        for (const Candidate& c : group) {
            if (stopped())
                return;
            int error = 0;
            Fd file = open(c.record, &error);
            if (file.fd < 0) {
                tell(c.record, error);
                continue;
            }
            const Placed placed = place(c, file.fd, classes);
            if (placed == Placed::Stopped)
                return;
            std::erase_if(classes, [](const auto& members) { return members.empty(); });
            if (placed == Placed::Alone)
                classes.push_back({c});
        }
        for (auto& members : classes) {
            if (members.size() > 1) {
                std::sort(
                    members.begin(), members.end(),
                    [](const Candidate& a, const Candidate& b) { return a.record < b.record; });
                addGroup(members);
            }
        }
    }

    enum class Placed { InClass, Alone, Unreadable, Stopped };

    // Puts c (open as fd) into the first class whose bytes it has. A class whose first file
    // can no longer be read is emptied, as not proven.
    Placed place(const Candidate& c, int fd, std::vector<std::vector<Candidate>>& classes)
    {
        int error = 0;
        for (auto& members : classes) {
            const Candidate& first = members.front();
            if (first.device == c.device && first.inode == c.inode) {
                members.push_back(c);
                return Placed::InClass;
            }
            Fd other = open(first.record, &error);
            if (other.fd < 0) {
                tell(first.record, error);
                members.clear();
                continue;
            }
            const Bytes result = CompareOpen(fd, other.fd, m_bufferA.get(), m_bufferB.get(), kBlock,
                                             m_hooks, &error);
            if (result == Bytes::Stopped) {
                m_summary.stopped = true;
                return Placed::Stopped;
            }
            if (result == Bytes::FirstFailed) {
                tell(c.record, error);
                return Placed::Unreadable;
            }
            if (result == Bytes::SecondFailed) {
                tell(first.record, error);
                members.clear();
                continue;
            }
            if (result == Bytes::Same) {
                members.push_back(c);
                return Placed::InClass;
            }
        }
        return Placed::Alone;
    }

    const RecordList& m_records;
    const SummaryHooks& m_hooks;
    ScanSummary& m_summary;
    std::unique_ptr<unsigned char[]> m_bufferA, m_bufferB;
    std::map<std::pair<dev_t, ino_t>, std::uint32_t> m_inodeCrc; // files read whole
    CrcCtrl m_crc;                                               // the first pass's
    RecordOpener m_opener;                                       // the first pass's
    FeedState* m_feed = nullptr;
    const std::atomic<bool>* m_mayHelp = nullptr;
    // What the feed read of each candidate (by its place among them), or null.
    std::vector<const FeedState::Entry*> m_fedOf;
    const Candidate* m_sharedBegin = nullptr;
};

} // namespace

struct DuplicatesAhead::State {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false; // under mutex
    std::atomic<bool> stop{false};
    std::atomic<bool> mayHelp{false}; // the summary waits: the feed may have its core
    ScanSummary found;                // the thread's until done
    std::vector<std::pair<std::string, QString>> unreadable; // likewise
    std::exception_ptr failure;                              // likewise
    std::thread thread;
};

std::pair<std::int64_t, std::size_t>& DuplicatesFeed::State::sizeSlot(std::int64_t size)
{
    if (2 * (sizeCount + 1) > sizes.size()) {
        std::vector<std::pair<std::int64_t, std::size_t>> old(
            std::max<std::size_t>(1024, 2 * sizes.size()));
        old.swap(sizes);
        for (const auto& slot : old) {
            if (slot.first != 0)
                sizeSlot(slot.first) = slot;
        }
    }
    const std::size_t mask = sizes.size() - 1;
    // Sizes are often multiples of a block: the product's high bits spread them.
    const std::uint64_t hash = static_cast<std::uint64_t>(size) * 0x9E3779B97F4A7C15ULL;
    for (auto at = static_cast<std::size_t>(std::rotl(hash, 32)) & mask;; at = (at + 1) & mask) {
        if (sizes[at].first == size || sizes[at].first == 0)
            return sizes[at];
    }
}

// What was known of size before a file of index had it: kUnseen, the index of the only file
// seen, or kQueued for two or more.
std::size_t DuplicatesFeed::State::sizeSeen(std::int64_t size, std::size_t index)
{
    std::size_t* known = nullptr;
    if (size < kSmallSizes) {
        if (smallSizes.empty())
            smallSizes.assign(static_cast<std::size_t>(kSmallSizes), kUnseen);
        known = &smallSizes[static_cast<std::size_t>(size)];
    } else {
        auto& slot = sizeSlot(size);
        if (slot.first == 0) {
            slot.first = size;
            ++sizeCount;
        }
        known = &slot.second;
    }
    const std::size_t was = *known;
    *known = was == kUnseen ? index : kQueued;
    return was;
}

void DuplicatesFeed::State::queue(const ScanRecord& record, std::size_t index, bool first)
{
    constexpr std::size_t kNamesBlock = 64 * 1024;
    const std::size_t length = record.name.size() + 1;
    if (length > namesLeft) {
        namesLeft = std::max(kNamesBlock, length);
        names.push_back(std::make_unique_for_overwrite<char[]>(namesLeft));
        nextName = names.back().get();
    }
    std::memcpy(nextName, record.name.c_str(), length);
    const Entry entry{record.folder, nextName, record.size, first, {}, {}};
    nextName += length;
    namesLeft -= length;
    if (first) {
        firsts.emplace_back(index, entry);
        return;
    }
    pending.push_back(entry);
    if (pending.size() >= kWakeAfter)
        handOver();
}

// Moves the pending entries to the readers' queue: one lock for a handful of files.
void DuplicatesFeed::State::handOver()
{
    const std::lock_guard lock(mutex);
    entries.insert(entries.end(), pending.begin(), pending.end());
    end += pending.size();
    pending.clear();
    if (waiting)
        more.notify_one();
}

DuplicatesFeed::DuplicatesFeed() : m_state(std::make_unique<State>())
{
    State& state = *m_state;
    state.thread = std::thread([&state] { RunFeed(state); });
}

DuplicatesFeed::~DuplicatesFeed()
{
    {
        const std::lock_guard lock(m_state->mutex);
        m_state->stop = true;
        m_state->more.notify_all();
        m_state->idle.notify_all();
    }
    m_state->thread.join();
}

void DuplicatesFeed::seen(const RecordList& records, std::size_t index)
{
    const ScanRecord& record = records[index];
    if (!MayRepeat(record))
        return;
    State& state = *m_state;
    const std::size_t first = state.sizeSeen(record.size, index);
    if (first == State::kUnseen)
        return;
    // A size seen twice: both files may be copies, and so may any later one.
    if (first != State::kQueued)
        state.queue(records[first], first, true);
    state.queue(record, index, false);
}

void DuplicatesFeed::walked(bool stopped)
{
    State& state = *m_state;
    if (stopped)
        state.stop = true; // the summary will say it stopped: nothing is to be read
    std::sort(state.firsts.begin(), state.firsts.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& first : state.firsts)
        state.pending.push_back(first.second);
    state.firsts = {};
    state.handOver();
    const std::lock_guard lock(state.mutex);
    state.closed = true;
    state.more.notify_all();
    state.idle.notify_all();
}

DuplicatesAhead::DuplicatesAhead(const RecordList& records, bool sameBytes, DuplicatesFeed* feed)
    : m_state(std::make_unique<State>())
{
    State& state = *m_state;
    FeedState* fed = feed ? feed->m_state.get() : nullptr;
    state.thread = std::thread([&records, sameBytes, &state, fed] {
        SummaryHooks hooks;
        hooks.cancelled = [&state] { return state.stop.load(std::memory_order_relaxed); };
        hooks.unreadable = [&state](const std::string& path, const QString& reason) {
            state.unreadable.emplace_back(path, reason);
        };
        try {
            DuplicateFinder(records, hooks, state.found, fed, &state.mayHelp).run(sameBytes);
        } catch (...) {
            state.failure = std::current_exception(); // thrown again where the summary waits
        }
        const std::lock_guard lock(state.mutex);
        state.done = true;
        state.changed.notify_all();
    });
}

DuplicatesAhead::~DuplicatesAhead()
{
    m_state->stop = true;
    if (m_state->thread.joinable())
        m_state->thread.join();
}

void DuplicatesAhead::finish(ScanSummary& summary, const SummaryHooks& hooks)
{
    State& state = *m_state;
    state.mayHelp = true;
    bool cancelled = false;
    std::unique_lock lock(state.mutex);
    while (!state.done) {
        // Often enough for a window to stay alive and for Ctrl+C to stop the reading at once.
        state.changed.wait_for(lock, std::chrono::milliseconds(20));
        lock.unlock();
        if (hooks.yield)
            hooks.yield();
        if (!cancelled && hooks.cancelled && hooks.cancelled()) {
            cancelled = true;
            state.stop = true;
        }
        lock.lock();
    }
    lock.unlock();
    state.thread.join();
    if (state.failure)
        std::rethrow_exception(state.failure);
    if (!cancelled && hooks.cancelled && hooks.cancelled())
        cancelled = true;
    for (const auto& [path, reason] : state.unreadable) {
        if (hooks.unreadable)
            hooks.unreadable(path, reason);
    }
    summary.duplicates = std::move(state.found.duplicates);
    summary.unreadable = std::move(state.found.unreadable);
    summary.filesRead = state.found.filesRead;
    summary.stopped = state.found.stopped || cancelled;
}

void FindDuplicates(const RecordList& records, const SummaryHooks& hooks, ScanSummary& summary,
                    bool sameBytes)
{
    DuplicateFinder(records, hooks, summary).run(sameBytes);
}

} // namespace quillon
