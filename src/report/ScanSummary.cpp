#include "report/ScanSummary.h"

#include "details/CrcCtrl.h"
#include "details/FileAt.h"
#include "details/FileDetails.h"
#include "details/SizeText.h"
#include "platform/CommandError.h"
#include "platform/SettingsStore.h"

#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <utility>

namespace quillon {

namespace {

const QString kSection = QStringLiteral("Summaries");

bool ReadSwitch(const SettingsStore& store, const char* key, bool fallback)
{
    const int value = store.intValue(kSection, QLatin1String(key), -1);
    return value == 0 || value == 1 ? value == 1 : fallback;
}

// The extension a type total counts a name under: after the last dot, lower case; a name
// that only begins with a dot (".profile") or ends in one has none.
std::string ExtensionOf(const std::string& name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size())
        return {};
    std::string extension = name.substr(dot + 1);
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return extension;
}

std::string PathOf(const ScanRecord& record)
{
    std::string path = record.folder ? record.folder->path() : std::string();
    return path.append(record.name);
}

// A file that may have a copy: read, not a link, with content.
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
        if (!m_moved || !SamePath(record.folder, m_folder)) {
            m_folder = record.folder;
            m_moved = true;
            m_cursor.moveTo(record.folder ? record.folder->path() : std::string());
        }
        if (m_cursor.descriptor() >= 0)
            return OpenListedRegular(FileAt{m_cursor.descriptor(), record.name.c_str()}, st);
        const std::string full = PathOf(record);
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
    DuplicateFinder(const RecordList& records, const SummaryHooks& hooks, ScanSummary& summary)
        : m_records(records), m_hooks(hooks), m_summary(summary)
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
        const std::string path = PathOf(m_records[record]);
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

    // The candidate's file open (st its status), or -1. A file gone since the scan, or no
    // longer a regular file, has nothing to compare; any other failure is told.
    int openCandidate(const Candidate& c, RecordOpener& opener, struct stat& st)
    {
        const int fd = opener.open(m_records[c.record], st);
        if (fd < 0 && errno != ENOENT && errno != ELOOP && errno != EINVAL)
            tell(c.record, errno);
        return fd;
    }

    void readPrefix(Candidate& c)
    {
        if (m_hooks.yield)
            m_hooks.yield();
        struct stat st {};
        Fd file{openCandidate(c, m_opener, st)};
        if (file.fd < 0)
            return;
        const auto size = static_cast<std::uint64_t>(c.size);
        try {
            // Only the error number is kept: no path is built for the message.
            m_crc.ComputePrefix(file.fd, static_cast<std::size_t>(std::min(size, kPrefix)), {});
        } catch (const CommandError& e) {
            tell(c.record, e.number() > 0 ? e.number() : EIO);
            return;
        }
        // Shorter than the scan saw: no longer the file listed.
        if (m_crc.BytesRead() < std::min(size, kPrefix))
            return;
        c.crc = m_crc.Value();
        c.read = true;
        c.device = st.st_dev;
        c.inode = st.st_ino;
        c.sizeKept = st.st_size == c.size;
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
        if (known != m_inodeCrc.end())
            c.crc = known->second;
        else if (static_cast<std::uint64_t>(c.size) > kPrefix && !readRest(c, crc, opener))
            return;
        c.read = true;
        m_inodeCrc.emplace(std::make_pair(c.device, c.inode), c.crc);
        ++m_summary.filesRead;
    }

    // The whole checksum of a file larger than a block; false when it is not to be counted.
    bool readRest(Candidate& c, CrcCtrl& crc, RecordOpener& opener)
    {
        struct stat st {};
        Fd file{openCandidate(c, opener, st)};
        if (file.fd < 0)
            return false;
        // Replaced or changed since the first pass: no longer the file listed.
        if (st.st_size != c.size || st.st_dev != c.device || st.st_ino != c.inode)
            return false;
        try {
            if (crc.ComputeOpen(file.fd, {}) != CrcCtrl::Outcome::Done)
                return false;
        } catch (const CommandError& e) {
            tell(c.record, e.number() > 0 ? e.number() : EIO);
            return false;
        }
        c.crc = crc.Value();
        return true;
    }

    void addGroup(const std::vector<Candidate>& group)
    {
        DuplicateGroup out;
        out.size = group.front().size;
        out.crc = group.front().crc;
        std::vector<std::pair<dev_t, ino_t>> inodes;
        for (const Candidate& c : group) {
            out.paths.push_back(PathOf(m_records[c.record]));
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
};

// The totals by extension.
void AddTypeTotals(const RecordList& records, const SummaryHooks& hooks, ScanSummary& summary)
{
    const std::size_t n = records.lastIndex();
    std::vector<TypeTotal> totals;
    std::vector<std::pair<std::string, std::size_t>> index; // extension, place in totals
    for (std::size_t k = 1; k <= n; ++k) {
        if (hooks.yield && k % 4096 == 0)
            hooks.yield();
        const ScanRecord& r = records[k];
        if (!r.isFile() || r.repeatLink)
            continue;
        std::string extension = ExtensionOf(r.name);
        auto at = std::lower_bound(index.begin(), index.end(), extension,
                                   [](const auto& e, const std::string& x) { return e.first < x; });
        if (at == index.end() || at->first != extension) {
            at = index.insert(at, {extension, totals.size()});
            totals.push_back({std::move(extension), 0, 0});
        }
        TypeTotal& total = totals[at->second];
        ++total.files;
        total.bytes += r.size;
        summary.totalBytes += r.size;
    }
    std::sort(totals.begin(), totals.end(), [](const TypeTotal& a, const TypeTotal& b) {
        return a.bytes != b.bytes ? a.bytes > b.bytes : a.extension < b.extension;
    });
    summary.types = std::move(totals);
}

} // namespace

struct DuplicatesAhead::State {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false; // under mutex
    std::atomic<bool> stop{false};
    ScanSummary found;                                       // the thread's until done
    std::vector<std::pair<std::string, QString>> unreadable; // likewise
    std::exception_ptr failure;                              // likewise
    std::thread thread;
};

DuplicatesAhead::DuplicatesAhead(const RecordList& records, bool sameBytes)
    : m_state(std::make_unique<State>())
{
    State& state = *m_state;
    state.thread = std::thread([&records, sameBytes, &state] {
        SummaryHooks hooks;
        hooks.cancelled = [&state] { return state.stop.load(std::memory_order_relaxed); };
        hooks.unreadable = [&state](const std::string& path, const QString& reason) {
            state.unreadable.emplace_back(path, reason);
        };
        try {
            DuplicateFinder(records, hooks, state.found).run(sameBytes);
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

SummarySettings LoadSummarySettings(const SettingsStore& store)
{
    SummarySettings s;
    s.Top = ReadSwitch(store, "Top", s.Top);
    s.Types = ReadSwitch(store, "Types", s.Types);
    s.Duplicates = ReadSwitch(store, "Duplicates", s.Duplicates);
    s.SameBytes = ReadSwitch(store, "SameBytes", s.SameBytes);
    s.Alone = ReadSwitch(store, "Alone", s.Alone);
    const int count = store.intValue(kSection, QStringLiteral("TopCount"), s.TopCount);
    if (count >= 1 && count <= kMaxTopCount)
        s.TopCount = count;
    return s;
}

void SaveSummarySettings(const SummarySettings& s, SettingsStore& store)
{
    const auto write = [&](const char* key, bool on) {
        store.setValue(kSection, QLatin1String(key),
                       on ? QStringLiteral("1") : QStringLiteral("0"));
    };
    write("Top", s.Top);
    write("Types", s.Types);
    write("Duplicates", s.Duplicates);
    store.setValue(kSection, QStringLiteral("TopCount"), QString::number(s.TopCount));
    write("SameBytes", s.SameBytes);
    write("Alone", s.Alone);
}

bool ParseSummaryKinds(const QString& text, SummarySettings& settings)
{
    const QStringList words =
        text.toLower().split(QRegularExpression(QStringLiteral("[, ]+")), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return false;
    for (const QString& word : words) {
        if (word == QLatin1String("top"))
            settings.Top = true;
        else if (word == QLatin1String("types"))
            settings.Types = true;
        else if (word == QLatin1String("duplicates"))
            settings.Duplicates = true;
        else if (word == QLatin1String("all"))
            settings.Top = settings.Types = settings.Duplicates = true;
        else
            return false;
    }
    return true;
}

double ScanSummary::share(const TypeTotal& type) const
{
    return totalBytes > 0
               ? 100.0 * static_cast<double>(type.bytes) / static_cast<double>(totalBytes)
               : 0.0;
}

ScanSummary SummarizeScan(const RecordList& records, const SummarySettings& settings,
                          const SummaryHooks& hooks, DuplicatesAhead* ahead)
{
    ScanSummary summary;
    summary.settings = settings;
    const std::size_t n = records.lastIndex();
    if (settings.Top) {
        // Candidates by index first: paths are built only for the few that stay.
        std::vector<std::size_t> files;
        for (std::size_t k = 1; k <= n; ++k) {
            if (hooks.yield && k % 4096 == 0)
                hooks.yield();
            const ScanRecord& r = records[k];
            if (r.isFile() && !r.repeatLink && r.statError == 0)
                files.push_back(k);
        }
        const auto larger = [&](std::size_t a, std::size_t b) {
            if (records[a].size != records[b].size)
                return records[a].size > records[b].size;
            return PathOf(records[a]) < PathOf(records[b]);
        };
        const std::size_t count =
            std::min(files.size(), static_cast<std::size_t>(std::max(settings.TopCount, 0)));
        std::partial_sort(files.begin(), files.begin() + static_cast<std::ptrdiff_t>(count),
                          files.end(), larger);
        for (std::size_t i = 0; i < count; ++i)
            summary.top.push_back({PathOf(records[files[i]]), records[files[i]].size});
    }
    if (settings.Types)
        AddTypeTotals(records, hooks, summary);
    if (settings.Duplicates && ahead)
        ahead->finish(summary, hooks);
    else if (settings.Duplicates)
        DuplicateFinder(records, hooks, summary).run(settings.SameBytes);
    return summary;
}

namespace {

using EscapeText = std::function<std::string(std::string_view)>;

std::string LocaleNumber(const QLocale& locale, std::int64_t value)
{
    return locale.toString(static_cast<qlonglong>(value)).toStdString();
}

std::string PadLeft(std::string text, std::size_t width)
{
    return text.size() < width ? std::string(width - text.size(), ' ') + text : text;
}

std::string PadRight(std::string text, std::size_t width)
{
    return text.size() < width ? text + std::string(width - text.size(), ' ') : text;
}

void AppendTopLines(const ScanSummary& summary, const EscapeText& escape, const QLocale& locale,
                    std::vector<std::string>& lines)
{
    lines.push_back("\\par Largest files: \\par ");
    for (const SummaryFile& file : summary.top)
        lines.push_back(PadLeft(LocaleNumber(locale, file.size), 18) + "  " + escape(file.path) +
                        " \\par ");
    if (summary.top.empty())
        lines.push_back("  (no files) \\par ");
}

void AppendTypeLines(const ScanSummary& summary, const EscapeText& escape, const QLocale& locale,
                     std::vector<std::string>& lines)
{
    lines.push_back("\\par Totals by type: \\par ");
    lines.push_back("  " + PadRight("Type", 16) + PadLeft("Files", 12) + PadLeft("Bytes", 20) +
                    PadLeft("Share", 9) + " \\par ");
    std::uint64_t files = 0;
    for (const TypeTotal& type : summary.types) {
        const std::string name = type.extension.empty()
                                     ? std::string("(none)")
                                     : std::string(".").append(escape(type.extension));
        lines.push_back(
            "  " + PadRight(name, 16) +
            PadLeft(LocaleNumber(locale, static_cast<std::int64_t>(type.files)), 12) +
            PadLeft(LocaleNumber(locale, type.bytes), 20) +
            PadLeft(locale.toString(summary.share(type), 'f', 1).toStdString() + "%", 9) +
            " \\par ");
        files += type.files;
    }
    lines.push_back("  " + PadRight("All", 16) +
                    PadLeft(LocaleNumber(locale, static_cast<std::int64_t>(files)), 12) +
                    PadLeft(LocaleNumber(locale, summary.totalBytes), 20) + " \\par ");
}

void AppendDuplicateLines(const ScanSummary& summary, const EscapeText& escape,
                          const QLocale& locale, std::vector<std::string>& lines)
{
    const auto number = [&](std::int64_t value) { return LocaleNumber(locale, value); };
    lines.push_back(summary.settings.SameBytes
                        ? "\\par Duplicates (equal size, CRC32 and bytes): \\par "
                        : "\\par Duplicates (equal size and CRC32): \\par ");
    std::int64_t wasted = 0;
    for (const DuplicateGroup& group : summary.duplicates) {
        wasted += group.wasted();
        lines.push_back("  " + number(static_cast<std::int64_t>(group.paths.size())) +
                        " files of " + number(group.size) + " bytes, CRC32 " +
                        CrcCtrl::HexText(group.crc) + ", " + number(group.wasted()) +
                        " bytes wasted \\par ");
        for (const std::string& path : group.paths)
            lines.push_back("      " + escape(path) + " \\par ");
    }
    lines.push_back("  " + number(static_cast<std::int64_t>(summary.duplicates.size())) +
                    " group(s), " + FormatSize(static_cast<double>(wasted), locale).toStdString() +
                    " wasted \\par ");
    if (!summary.unreadable.empty()) {
        lines.push_back("  " + number(static_cast<std::int64_t>(summary.unreadable.size())) +
                        " file(s) could not be read and are not counted as duplicates: \\par ");
        for (const std::string& path : summary.unreadable)
            lines.push_back("      " + escape(path) + " \\par ");
    }
    if (summary.stopped)
        lines.push_back("  Stopped before every file was compared. \\par ");
}

} // namespace

std::vector<std::string>
SummaryReportLines(const ScanSummary& summary,
                   const std::function<std::string(std::string_view)>& escape)
{
    const QLocale locale;
    std::vector<std::string> lines;
    if (summary.settings.Top)
        AppendTopLines(summary, escape, locale, lines);
    if (summary.settings.Types)
        AppendTypeLines(summary, escape, locale, lines);
    if (summary.settings.Duplicates)
        AppendDuplicateLines(summary, escape, locale, lines);
    return lines;
}

} // namespace quillon
