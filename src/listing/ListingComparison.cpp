#include "listing/ListingComparison.h"

#include "platform/BoundedRead.h"
#include "scan/Collation.h"
#include "scan/SortTexts.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace quillon {

namespace detail {

// A temporary file of differences, written once and then read back, in order or at an
// offset remembered while writing. Unlinked at once, so nothing is left behind.
class CompareSpill {
public:
    CompareSpill() = default;
    ~CompareSpill()
    {
        if (m_file)
            std::fclose(m_file);
    }
    CompareSpill(const CompareSpill&) = delete;
    CompareSpill& operator=(const CompareSpill&) = delete;

    bool open(QString* error)
    {
        QByteArray name = QFile::encodeName(QDir::tempPath()) + "/quillon-compare-XXXXXX";
        const int fd = ::mkstemp(name.data());
        if (fd >= 0) {
            ::unlink(name.constData());
            m_file = ::fdopen(fd, "w+b");
            if (!m_file)
                ::close(fd);
        }
        if (!m_file)
            *error = QStringLiteral("cannot make a temporary file in %1: %2")
                         .arg(QDir::tempPath(), QString::fromLocal8Bit(std::strerror(errno)));
        return m_file != nullptr;
    }

    std::uint64_t size() const { return m_size; }
    std::size_t count() const { return m_count; }

    void put(const Difference& d, bool hasOld, bool hasNew)
    {
        m_buffer.clear();
        m_buffer.push_back(static_cast<char>((d.sizeChanged ? 1 : 0) | (d.timeChanged ? 2 : 0) |
                                             (d.crcChanged ? 4 : 0) | (d.kindChanged ? 8 : 0) |
                                             (hasOld ? 16 : 0) | (hasNew ? 32 : 0)));
        if (hasOld)
            putItem(d.old);
        if (hasNew)
            putItem(d.now);
        write();
    }

    void put(const Unreadable& u)
    {
        m_buffer.clear();
        putText(u.path);
        putText(u.what.toStdString());
        putText(u.reason.toStdString());
        write();
    }

    bool failed() const { return m_failed || (m_file && std::ferror(m_file)); }

    bool seek(std::uint64_t offset)
    {
        m_readPos = offset;
        return std::fflush(m_file) == 0 &&
               ::fseeko(m_file, static_cast<off_t>(offset), SEEK_SET) == 0;
    }
    /// Where the next record read starts.
    std::uint64_t position() const { return m_readPos; }

    bool get(Difference& d)
    {
        unsigned char flags = 0;
        if (!getRaw(&flags, 1))
            return false;
        d.sizeChanged = flags & 1;
        d.timeChanged = flags & 2;
        d.crcChanged = flags & 4;
        d.kindChanged = flags & 8;
        return (!(flags & 16) || getItem(d.old)) && (!(flags & 32) || getItem(d.now));
    }

    bool get(Unreadable& u)
    {
        std::string what, reason;
        if (!getText(u.path) || !getText(what) || !getText(reason))
            return false;
        u.what = QString::fromStdString(what);
        u.reason = QString::fromStdString(reason);
        return true;
    }

private:
    template <class T> void putValue(T value)
    {
        char bytes[sizeof(T)];
        std::memcpy(bytes, &value, sizeof(T));
        m_buffer.append(bytes, sizeof(T));
    }
    void putText(std::string_view text)
    {
        putValue(static_cast<std::uint32_t>(text.size()));
        m_buffer.append(text);
    }
    void putItem(const CompareItem& item)
    {
        m_buffer.push_back(static_cast<char>(item.kind));
        m_buffer.push_back(static_cast<char>((item.timeKnown ? 1 : 0) | (item.crcKnown ? 2 : 0) |
                                             (item.sizeKnown ? 0 : 4)));
        putValue(item.size);
        putValue(item.modified);
        putValue(static_cast<std::int32_t>(item.utcOffset));
        putValue(item.crc);
        putText(item.path);
    }
    void write()
    {
        // One spill is used by one thread at a time: the stream's lock is not needed.
        if (::fwrite_unlocked(m_buffer.data(), 1, m_buffer.size(), m_file) != m_buffer.size())
            m_failed = true;
        m_size += m_buffer.size();
        ++m_count;
    }
    bool getRaw(void* to, std::size_t bytes)
    {
        m_readPos += bytes;
        return bytes == 0 || ::fread_unlocked(to, 1, bytes, m_file) == bytes;
    }
    template <class T> bool getValue(T& value)
    {
        char bytes[sizeof(T)];
        if (!getRaw(bytes, sizeof(T)))
            return false;
        std::memcpy(&value, bytes, sizeof(T));
        return true;
    }
    bool getText(std::string& text)
    {
        std::uint32_t length = 0;
        if (!getValue(length))
            return false;
        text.resize(length);
        return getRaw(text.data(), length);
    }
    bool getItem(CompareItem& item)
    {
        unsigned char kind = 0, known = 0;
        std::int32_t offset = 0;
        if (!getRaw(&kind, 1) || !getRaw(&known, 1) || !getValue(item.size) ||
            !getValue(item.modified) || !getValue(offset) || !getValue(item.crc) ||
            !getText(item.path))
            return false;
        item.kind = static_cast<EntryKind>(kind);
        item.timeKnown = known & 1;
        item.crcKnown = known & 2;
        item.sizeKnown = !(known & 4);
        item.utcOffset = offset;
        return true;
    }

    std::FILE* m_file = nullptr;
    std::string m_buffer;
    std::uint64_t m_size = 0;
    std::uint64_t m_readPos = 0;
    std::size_t m_count = 0;
    bool m_failed = false;
};

} // namespace detail

using Spill = detail::CompareSpill;

namespace {

constexpr std::size_t kYieldEvery = 1024;

// Where a folder's records stand in the record order: the scan location, then the folder's
// path below it.
struct GroupKey {
    std::string root; // the location's path; empty when both sides are compared relatively
    std::string rel;  // folder below the location, components joined by "/"; "" for itself
};

// The order of the record sort (scan/SortTexts.h): locations by their path + "/", then folder
// by folder, each component by its name + "/", a folder before what lies below it.
int CompareKeys(const Collation& collation, const GroupKey& a, const GroupKey& b)
{
    std::string left, right;
    if (a.root != b.root) {
        FolderOrderText(a.root, left);
        FolderOrderText(b.root, right);
        const int c = collation.Compare(left, right);
        if (c != 0)
            return c;
    }
    std::string_view x = a.rel;
    std::string_view y = b.rel;
    for (;;) {
        if (x.empty() || y.empty())
            return x.empty() == y.empty() ? 0 : (x.empty() ? -1 : 1);
        const std::size_t xs = x.find('/');
        const std::size_t ys = y.find('/');
        const std::string_view xc = x.substr(0, xs);
        const std::string_view yc = y.substr(0, ys);
        if (xc != yc) {
            FolderOrderText(xc, left);
            FolderOrderText(yc, right);
            const int c = collation.Compare(left, right);
            if (c != 0)
                return c;
        }
        x = xs == std::string_view::npos ? std::string_view() : x.substr(xs + 1);
        y = ys == std::string_view::npos ? std::string_view() : y.substr(ys + 1);
    }
}

// The scan locations of a header, sorted, so the location holding a path is found by a few
// binary searches (one per component of the path) rather than a look at every location.
std::vector<std::string> RootsOf(const ListingHeader& header)
{
    std::vector<std::string> roots;
    for (const ScanLocation& location : header.locations) {
        if (location.excluded() || location.path.isEmpty())
            continue;
        std::string root = QFile::encodeName(location.path).toStdString();
        while (root.size() > 1 && root.back() == '/')
            root.pop_back();
        roots.push_back(std::move(root));
    }
    std::sort(roots.begin(), roots.end());
    roots.erase(std::unique(roots.begin(), roots.end()), roots.end());
    return roots;
}

// The longest location that is path or holds it; empty when none does.
std::string_view RootOf(const std::vector<std::string>& roots, std::string_view path)
{
    const auto has = [&](std::string_view root) {
        return std::binary_search(roots.begin(), roots.end(), root,
                                  [](std::string_view x, std::string_view y) { return x < y; });
    };
    if (roots.size() == 1) { // the usual case: one look
        const std::string& r = roots.front();
        const bool inside =
            path == r ||
            (r == "/" ? path.starts_with('/')
                      : path.starts_with(r) && path.size() > r.size() && path[r.size()] == '/');
        return inside ? std::string_view(r) : std::string_view();
    }
    std::string_view prefix = path;
    for (;;) {
        if (has(prefix))
            return prefix;
        const std::size_t slash = prefix.rfind('/');
        if (prefix == "/" || slash == std::string_view::npos)
            return {};
        prefix = slash == 0 ? path.substr(0, 1) : prefix.substr(0, slash);
    }
}

struct Group {
    GroupKey key;
    std::optional<CompareItem> folder;
    std::vector<CompareItem> files;
};

// One side, read a folder's records at a time.
class Side {
public:
    Side(ListingSource& source, bool relative, bool files, bool folders, const Collation& collation,
         std::function<void(Unreadable)> unreadable)
        : m_source(source), m_roots(RootsOf(source.header())), m_relative(relative), m_files(files),
          m_folders(folders), m_collation(collation), m_unreadable(std::move(unreadable))
    {}

    std::size_t entries = 0;

    // The next group; false at the end or on an error (*error set).
    bool next(Group& group, QString* error, const std::function<bool()>& yield)
    {
        group.folder.reset();
        group.files.clear();
        if (!m_hasPending && !read(error))
            return false;
        group.key = m_pendingKey;
        if (m_havePrevious && CompareKeys(m_collation, m_previous, group.key) >= 0) {
            *error = QStringLiteral("%1 is not in the record order of a scan here (sorted under "
                                    "another language, or edited)")
                         .arg(label());
            return false;
        }
        m_previous = group.key;
        m_havePrevious = true;
        do {
            if (yield && ++m_count % kYieldEvery == 0 && !yield()) {
                *error = QStringLiteral("stopped");
                return false;
            }
            m_hasPending = false;
            if (m_pending.kind == EntryKind::Folder) {
                if (m_folders && !group.folder && !m_pendingItem.path.empty()) {
                    group.folder = std::move(m_pendingItem);
                    ++entries;
                }
            } else if (m_files) {
                checkDetails();
                group.files.push_back(std::move(m_pendingItem));
                ++entries;
            }
            if (!read(error))
                break;
        } while (m_pendingKey.root == group.key.root && m_pendingKey.rel == group.key.rel);
        if (!error->isEmpty())
            return false;
        std::sort(group.files.begin(), group.files.end(),
                  [](const CompareItem& x, const CompareItem& y) { return x.path < y.path; });
        return true;
    }

private:
    QString label() const
    {
        return m_roots.empty() ? QStringLiteral("a listing")
                               : QString::fromStdString(m_roots.front());
    }

    // A side read from disk now names what it could not read through its source's own hook;
    // a saved listing marks it on the entry. A comparison never calls "same" what it did not
    // see. Only the values a comparison looks at count: size, time and checksum.
    void checkDetails()
    {
        if (m_source.readsDisk() || m_pending.kind == EntryKind::Folder)
            return;
        if (m_pending.unreadable & kUnreadableStatus)
            m_unreadable({m_pending.path, QStringLiteral("file"),
                          QStringLiteral("unreadable in the listing")});
        else if (m_pending.unreadable & kUnreadableCrc)
            m_unreadable({m_pending.path, QStringLiteral("checksum"),
                          QStringLiteral("unreadable in the listing")});
    }

    bool read(QString* error)
    {
        if (!m_source.next(m_pending)) {
            if (!m_source.error().isEmpty())
                *error = m_source.error();
            return false;
        }
        m_hasPending = true;
        const std::string& path = m_pending.path;
        const std::string_view root = RootOf(m_roots, path);
        std::string_view rel = path;
        if (!root.empty())
            rel = path == root ? std::string_view() : rel.substr(root == "/" ? 1 : root.size() + 1);
        m_pendingKey.root.assign(m_relative ? std::string_view() : root);
        const std::size_t slash = rel.rfind('/');
        if (m_pending.kind == EntryKind::Folder)
            m_pendingKey.rel.assign(rel);
        else
            m_pendingKey.rel.assign(slash == std::string_view::npos ? std::string_view()
                                                                    : rel.substr(0, slash));
        CompareItem& item = m_pendingItem;
        item.path.assign(m_relative ? rel : std::string_view(path));
        if (!m_relative && m_pending.kind == EntryKind::Folder && path == root)
            item.path.clear(); // the location itself is never a difference
        item.kind = m_pending.kind;
        item.size = m_pending.size;
        item.sizeKnown = !(m_pending.unreadable & kUnreadableStatus);
        item.timeKnown = m_pending.timeKnown;
        item.modified = m_pending.modified;
        item.utcOffset = m_pending.utcOffset;
        item.crcKnown = m_pending.crcKnown;
        item.crc = m_pending.crc;
        return true;
    }

    ListingSource& m_source;
    std::vector<std::string> m_roots;
    bool m_relative;
    bool m_files;
    bool m_folders;
    const Collation& m_collation;
    std::function<void(Unreadable)> m_unreadable;
    ListingEntry m_pending;
    CompareItem m_pendingItem;
    GroupKey m_pendingKey;
    bool m_hasPending = false;
    GroupKey m_previous;
    bool m_havePrevious = false;
    std::size_t m_count = 0;
};

// True when the two items differ; d then says how.
bool Differ(const CompareItem& a, const CompareItem& b, Difference& d)
{
    d.kindChanged = a.kind != b.kind;
    d.sizeChanged = d.timeChanged = d.crcChanged = false;
    if (a.kind != EntryKind::Folder || b.kind != EntryKind::Folder) {
        // A size that could not be read is unknown, not 0: never a change.
        d.sizeChanged = a.sizeKnown && b.sizeKnown && a.size != b.size;
        d.timeChanged = a.timeKnown && b.timeKnown && a.modified != b.modified;
        d.crcChanged = a.crcKnown && b.crcKnown && a.crc != b.crc;
    }
    return d.kindChanged || d.sizeChanged || d.timeChanged || d.crcChanged;
}

std::uint64_t PathHash(std::string_view path)
{
    return std::hash<std::string_view>()(path);
}

// A file that may have moved: its content key and where it lies in its spill.
// A file that may have moved: its content key and where it lies in its spill (the offset
// also gives its record order).
struct Candidate {
    std::int64_t size;
    std::uint32_t crc;
    std::uint64_t offset;
};

bool ByContent(const Candidate& x, const Candidate& y)
{
    return std::tie(x.size, x.crc, x.offset) < std::tie(y.size, y.crc, y.offset);
}

struct Pair {
    std::uint64_t removed, added; // offsets in the spills
};

} // namespace

struct ListingComparison::State {
    Spill added, removed, changed, unreadable;
    std::unordered_set<std::uint64_t> addedFolders, removedFolders;
    std::vector<Candidate> addedMoves, removedMoves;
    std::vector<Difference> retyped;         // a file and a folder at one path
    std::vector<std::uint64_t> takenAdded;   // offsets, sorted: written as retyped or moved
    std::vector<std::uint64_t> takenRemoved; // the same
    std::vector<Pair> moves;                 // in the order of the removed side
    std::function<bool()> yield;
    std::size_t steps = 0;

    bool step() { return !yield || ++steps % kYieldEvery != 0 || yield(); }

    // What writing a part of the comparison came to.
    enum class Written { Done, Stopped, ReadFailed };

    Written writeUnreadable(CompareSink& sink)
    {
        Unreadable u;
        if (!unreadable.seek(0))
            return Written::ReadFailed;
        for (std::size_t k = 0; k < unreadable.count(); ++k) {
            if (!unreadable.get(u))
                return Written::ReadFailed;
            if (!sink.unreadable(u))
                return Written::Stopped;
        }
        return Written::Done;
    }

    // The differences of spill as kind, all but those at the offsets taken (sorted).
    Written writeSpill(CompareSink& sink, ChangeKind kind, Spill& spill,
                       const std::vector<std::uint64_t>& taken)
    {
        if (!spill.seek(0))
            return Written::ReadFailed;
        Difference d;
        auto skip = taken.begin();
        for (std::size_t k = 0; k < spill.count(); ++k) {
            const std::uint64_t at = spill.position();
            if (!spill.get(d))
                return Written::ReadFailed;
            if (skip != taken.end() && *skip == at) {
                ++skip;
                continue;
            }
            if (!sink.difference(kind, d) || !step())
                return Written::Stopped;
        }
        return Written::Done;
    }

    // Each move: the removed side's old entry with the added side's new one.
    Written writeMoves(CompareSink& sink)
    {
        for (const Pair& p : moves) {
            Difference from, to;
            if (!removed.seek(p.removed) || !removed.get(from) || !added.seek(p.added) ||
                !added.get(to))
                return Written::ReadFailed;
            Difference move;
            move.old = std::move(from.old);
            move.now = std::move(to.now);
            if (!sink.difference(ChangeKind::Moved, move) || !step())
                return Written::Stopped;
        }
        return Written::Done;
    }

    void add(CompareItem&& item, bool isAdded)
    {
        Spill& spill = isAdded ? added : removed;
        if (item.kind == EntryKind::Folder)
            (isAdded ? addedFolders : removedFolders).insert(PathHash(item.path));
        else if (item.kind == EntryKind::File && item.crcKnown && item.size > 0)
            (isAdded ? addedMoves : removedMoves).push_back({item.size, item.crc, spill.size()});
        Difference d;
        (isAdded ? d.now : d.old) = std::move(item);
        spill.put(d, !isAdded, isAdded);
    }

    void compare(const CompareItem& a, const CompareItem& b)
    {
        Difference d;
        if (Differ(a, b, d)) {
            d.old = a;
            d.now = b;
            changed.put(d, true, true);
        }
    }

    void whole(Group& group, bool isAdded)
    {
        if (group.folder)
            add(std::move(*group.folder), isAdded);
        for (CompareItem& item : group.files)
            add(std::move(item), isAdded);
    }

    void match(Group& a, Group& b)
    {
        if (a.folder && b.folder)
            compare(*a.folder, *b.folder);
        else if (a.folder)
            add(std::move(*a.folder), false);
        else if (b.folder)
            add(std::move(*b.folder), true);
        std::size_t i = 0, j = 0;
        while (i < a.files.size() || j < b.files.size()) {
            if (j == b.files.size() || (i < a.files.size() && a.files[i].path < b.files[j].path))
                add(std::move(a.files[i++]), false);
            else if (i == a.files.size() || b.files[j].path < a.files[i].path)
                add(std::move(b.files[j++]), true);
            else
                compare(a.files[i++], b.files[j++]);
        }
    }

    // A file on one side and a folder at the same path on the other meet in different groups
    // (the file in its folder's, the folder in its own), so they are paired once all is read:
    // a few passes over the added and removed entries, holding only those that pair.
    // Entries that are not folders whose path an opposite folder has, by path hash: the
    // offset of their record in the spill, and the entry.
    using Others = std::unordered_map<std::uint64_t, std::pair<std::uint64_t, CompareItem>>;

    // Calls f(offset, entry) for each entry of spill, the entry of its added or removed side.
    template <typename F> bool collect(Spill& spill, bool isAdded, F&& f)
    {
        if (!spill.seek(0))
            return false;
        Difference d;
        for (std::size_t k = 0; k < spill.count(); ++k) {
            const std::uint64_t at = spill.position();
            if (!spill.get(d) || !step())
                return false;
            f(at, isAdded ? d.now : d.old);
        }
        return true;
    }

    // Pairs folder (at offset k, on the added side when folderAdded) with the entry of
    // others at its path, if any.
    void pairRetyped(Others& others, std::uint64_t k, CompareItem& folder, bool folderAdded,
                     std::vector<Pair>& pairs)
    {
        auto other = others.find(PathHash(folder.path));
        if (other == others.end() || other->second.second.path != folder.path)
            return;
        CompareItem& removedItem = folderAdded ? other->second.second : folder;
        CompareItem& addedItem = folderAdded ? folder : other->second.second;
        Difference d;
        Differ(removedItem, addedItem, d);
        d.old = std::move(removedItem);
        d.now = std::move(addedItem);
        pairs.push_back(folderAdded ? Pair{other->second.first, k} : Pair{k, other->second.first});
        retyped.push_back(std::move(d));
        others.erase(other);
    }

    bool findRetyped(QString* error)
    {
        if (addedFolders.empty() && removedFolders.empty())
            return true;
        Others removedOthers, addedOthers;
        // Each pass only where it can pair something.
        bool ok = addedFolders.empty() ||
                  collect(removed, false, [&](std::uint64_t k, CompareItem& item) {
                      const std::uint64_t hash = PathHash(item.path);
                      if (item.kind != EntryKind::Folder && addedFolders.contains(hash))
                          removedOthers.emplace(hash, std::make_pair(k, std::move(item)));
                  });
        std::vector<Pair> pairs;
        ok = ok && ((removedFolders.empty() && removedOthers.empty()) ||
                    collect(added, true, [&](std::uint64_t k, CompareItem& item) {
                        if (item.kind == EntryKind::Folder) {
                            pairRetyped(removedOthers, k, item, true, pairs);
                            return;
                        }
                        const std::uint64_t hash = PathHash(item.path);
                        if (removedFolders.contains(hash))
                            addedOthers.emplace(hash, std::make_pair(k, std::move(item)));
                    }));
        if (!addedOthers.empty())
            ok = ok && collect(removed, false, [&](std::uint64_t k, CompareItem& item) {
                     if (item.kind == EntryKind::Folder)
                         pairRetyped(addedOthers, k, item, false, pairs);
                 });
        if (!ok) {
            *error = QStringLiteral("cannot read back a temporary file of the comparison");
            return false;
        }
        for (const Pair& pair : pairs) {
            takenRemoved.push_back(pair.removed);
            takenAdded.push_back(pair.added);
        }
        std::sort(takenRemoved.begin(), takenRemoved.end());
        std::sort(takenAdded.begin(), takenAdded.end());
        return true;
    }

    // A removed and an added file of the same size and checksum: for each content, the
    // removed files in record order take the added ones in record order. Both lists sorted by
    // content and merged, so no map is built.
    void findMoves()
    {
        if (addedMoves.empty() || removedMoves.empty())
            return;
        const auto untaken = [](const std::vector<std::uint64_t>& taken, const Candidate& c) {
            return !std::binary_search(taken.begin(), taken.end(), c.offset);
        };
        std::erase_if(addedMoves, [&](const Candidate& c) { return !untaken(takenAdded, c); });
        std::erase_if(removedMoves, [&](const Candidate& c) { return !untaken(takenRemoved, c); });
        std::sort(addedMoves.begin(), addedMoves.end(), ByContent);
        std::sort(removedMoves.begin(), removedMoves.end(), ByContent);
        const auto same = [](const Candidate& x, const Candidate& y) {
            return x.size == y.size && x.crc == y.crc;
        };
        for (std::size_t i = 0, j = 0; i < removedMoves.size() && j < addedMoves.size();) {
            if (same(removedMoves[i], addedMoves[j]))
                moves.push_back({removedMoves[i++].offset, addedMoves[j++].offset});
            else if (ByContent(removedMoves[i], addedMoves[j]))
                ++i;
            else
                ++j;
        }
        addedMoves = {};
        removedMoves = {};
        std::sort(moves.begin(), moves.end(),
                  [](const Pair& x, const Pair& y) { return x.removed < y.removed; });
        for (const Pair& p : moves) {
            takenRemoved.push_back(p.removed);
            takenAdded.push_back(p.added);
        }
        std::sort(takenRemoved.begin(), takenRemoved.end());
        std::sort(takenAdded.begin(), takenAdded.end());
    }
};

Unreadable UnreadableDetail(std::string path, const QString& reason, unsigned what)
{
    const bool checksum = what == kUnreadableCrc;
    return {std::move(path), checksum ? QStringLiteral("checksum") : QStringLiteral("file"),
            reason};
}

ListingComparison::ListingComparison(ListingSource& a, ListingSource& b, std::string labelA,
                                     std::string labelB)
    : m_state(std::make_unique<State>()), m_a(a), m_b(b)
{
    m_summary.labelA = std::move(labelA);
    m_summary.labelB = std::move(labelB);
}

ListingComparison::~ListingComparison() = default;

void ListingComparison::addUnreadable(Unreadable item)
{
    for (const auto& [scanned, shown] : m_shownPaths)
        if (item.path.starts_with(scanned) &&
            (item.path.size() == scanned.size() || item.path[scanned.size()] == '/')) {
            item.path.replace(0, scanned.size(), shown);
            break;
        }
    if (onUnreadable)
        onUnreadable(item);
    ++m_summary.unreadable;
    if (m_running)
        m_state->unreadable.put(item);
    else
        m_pendingUnreadable.push_back(std::move(item));
}

void ListingComparison::showPathAs(std::string scanned, std::string shown)
{
    m_shownPaths.emplace_back(std::move(scanned), std::move(shown));
}

bool ListingComparison::run(QString* error, const std::function<bool()>& yield)
{
    State& s = *m_state;
    s.yield = yield;
    for (Spill* spill : {&s.added, &s.removed, &s.changed, &s.unreadable})
        if (!spill->open(error))
            return false;
    for (const Unreadable& u : m_pendingUnreadable)
        s.unreadable.put(u);
    m_pendingUnreadable.clear();
    m_running = true;
    const auto unreadable = [this](Unreadable u) { addUnreadable(std::move(u)); };

    const Collation collation;
    const bool relative = RootsOf(m_a.header()).size() == 1 && RootsOf(m_b.header()).size() == 1;
    m_summary.files = ListsFiles(m_a.header()) && ListsFiles(m_b.header());
    m_summary.folders = ListsFolders(m_a.header()) && ListsFolders(m_b.header());
    Side left(m_a, relative, m_summary.files, m_summary.folders, collation, unreadable);
    Side right(m_b, relative, m_summary.files, m_summary.folders, collation, unreadable);
    QString leftError, rightError;
    Group ga, gb;
    bool haveA = left.next(ga, &leftError, yield);
    bool haveB = right.next(gb, &rightError, yield);
    while (haveA || haveB) {
        const int order = !haveA ? 1 : !haveB ? -1 : CompareKeys(collation, ga.key, gb.key);
        if (order < 0)
            s.whole(ga, false);
        else if (order > 0)
            s.whole(gb, true);
        else
            s.match(ga, gb);
        if (order <= 0)
            haveA = left.next(ga, &leftError, yield);
        if (order >= 0)
            haveB = right.next(gb, &rightError, yield);
    }
    if (!leftError.isEmpty() || !rightError.isEmpty()) {
        *error = leftError.isEmpty() ? rightError : leftError;
        return false;
    }
    for (Spill* spill : {&s.added, &s.removed, &s.changed, &s.unreadable})
        if (spill->failed()) {
            *error = QStringLiteral("cannot write a temporary file of the comparison in %1")
                         .arg(QDir::tempPath());
            return false;
        }
    m_summary.entriesA = left.entries;
    m_summary.entriesB = right.entries;
    if (!s.findRetyped(error))
        return false;
    s.findMoves();
    m_summary.added = s.added.count() - s.takenAdded.size();
    m_summary.removed = s.removed.count() - s.takenRemoved.size();
    m_summary.changed = s.changed.count() + s.retyped.size();
    m_summary.moved = s.moves.size();
    return true;
}

bool ListingComparison::write(CompareSink& sink, QString* error)
{
    State& s = *m_state;
    using Written = State::Written;
    const auto done = [error](Written written) {
        if (written == Written::ReadFailed)
            *error = QStringLiteral("cannot read back a temporary file of the comparison");
        return written == Written::Done;
    };
    if (!sink.begin(m_summary) || !done(s.writeUnreadable(sink)))
        return false;
    // Added and removed: all but those written as retyped or moved.
    if (!sink.section(ChangeKind::Added, s.added.count() - s.takenAdded.size()) ||
        !done(s.writeSpill(sink, ChangeKind::Added, s.added, s.takenAdded)))
        return false;
    if (!sink.section(ChangeKind::Removed, s.removed.count() - s.takenRemoved.size()) ||
        !done(s.writeSpill(sink, ChangeKind::Removed, s.removed, s.takenRemoved)))
        return false;
    if (!sink.section(ChangeKind::Changed, m_summary.changed) ||
        !done(s.writeSpill(sink, ChangeKind::Changed, s.changed, {})))
        return false;
    for (const Difference& retyped : s.retyped)
        if (!sink.difference(ChangeKind::Changed, retyped))
            return false;
    if (!sink.section(ChangeKind::Moved, m_summary.moved) || !done(s.writeMoves(sink)))
        return false;
    return sink.end();
}

namespace {

// Keeps what a comparison writes, in memory.
class ResultSink : public CompareSink {
public:
    explicit ResultSink(CompareResult& result) : m_result(result) {}
    bool begin(const CompareSummary& s) override
    {
        m_result.labelA = s.labelA;
        m_result.labelB = s.labelB;
        m_result.entriesA = s.entriesA;
        m_result.entriesB = s.entriesB;
        m_result.files = s.files;
        m_result.folders = s.folders;
        return true;
    }
    bool unreadable(const Unreadable& item) override
    {
        m_result.unreadable.push_back(item);
        return true;
    }
    bool section(ChangeKind, std::size_t) override { return true; }
    bool difference(ChangeKind kind, const Difference& d) override
    {
        std::vector<Difference>* lists[] = {&m_result.added, &m_result.removed, &m_result.changed,
                                            &m_result.moved};
        lists[static_cast<int>(kind)]->push_back(d);
        return true;
    }
    bool end() override { return true; }

private:
    CompareResult& m_result;
};

} // namespace

bool CompareListings(ListingSource& a, ListingSource& b, CompareResult& result, QString* error,
                     const std::function<bool()>& yield)
{
    ListingComparison comparison(a, b, result.labelA, result.labelB);
    if (!comparison.run(error, yield))
        return false;
    ResultSink sink(result);
    return comparison.write(sink, error);
}

bool WriteCompareResult(const CompareResult& r, CompareSink& sink)
{
    CompareSummary s;
    s.labelA = r.labelA;
    s.labelB = r.labelB;
    s.entriesA = r.entriesA;
    s.entriesB = r.entriesB;
    s.added = r.added.size();
    s.removed = r.removed.size();
    s.changed = r.changed.size();
    s.moved = r.moved.size();
    s.unreadable = r.unreadable.size();
    s.files = r.files;
    s.folders = r.folders;
    if (!sink.begin(s))
        return false;
    for (const Unreadable& u : r.unreadable)
        if (!sink.unreadable(u))
            return false;
    const std::pair<ChangeKind, const std::vector<Difference>*> sections[] = {
        {ChangeKind::Added, &r.added},
        {ChangeKind::Removed, &r.removed},
        {ChangeKind::Changed, &r.changed},
        {ChangeKind::Moved, &r.moved}};
    for (const auto& [kind, list] : sections) {
        if (!sink.section(kind, list->size()))
            return false;
        for (const Difference& d : *list)
            if (!sink.difference(kind, d))
                return false;
    }
    return sink.end();
}

bool OpenListingFile(const QByteArray& path, QFile& file, QString* error)
{
    QString reason, kind;
    if (OpenRegularFile(path, file, nullptr, &reason, &kind))
        return true;
    const QString name = QFile::decodeName(path);
    *error = kind.isEmpty() ? QStringLiteral("cannot read %1: %2").arg(name, reason)
                            : QStringLiteral("%1 is %2, not a folder or a listing").arg(name, kind);
    return false;
}

bool ListsFolders(const ListingHeader& header)
{
    return header.reportType != QLatin1String("List In Details");
}

bool ListsFiles(const ListingHeader& header)
{
    return header.reportType != QLatin1String("Folder list");
}

SpilledListingSource::SpilledListingSource(ListingSource& source,
                                           const std::function<bool()>& yield)
    : m_header(source.header()), m_spill(std::make_unique<Spill>()), m_readsDisk(source.readsDisk())
{
    if (!m_spill->open(&m_error))
        return;
    ListingEntry entry;
    Difference d;
    std::size_t count = 0;
    while (source.next(entry)) {
        if (yield && ++count % kYieldEvery == 0 && !yield()) {
            m_error = QStringLiteral("stopped");
            return;
        }
        d.now.path = std::move(entry.path);
        d.now.kind = entry.kind;
        d.now.size = entry.size;
        d.now.sizeKnown = !(entry.unreadable & kUnreadableStatus);
        d.now.timeKnown = entry.timeKnown;
        d.now.modified = entry.modified;
        d.now.utcOffset = entry.utcOffset;
        d.now.crcKnown = entry.crcKnown;
        d.now.crc = entry.crc;
        m_spill->put(d, false, true);
        entry.path = std::move(d.now.path);
    }
    if (!source.error().isEmpty())
        m_error = source.error();
    else if (m_spill->failed() || !m_spill->seek(0))
        m_error = QStringLiteral("cannot write a temporary file in %1").arg(QDir::tempPath());
}

SpilledListingSource::~SpilledListingSource() = default;

bool SpilledListingSource::next(ListingEntry& entry)
{
    if (!m_error.isEmpty() || m_read == m_spill->count())
        return false;
    Difference d;
    if (!m_spill->get(d)) {
        m_error = QStringLiteral("cannot read back a temporary file in %1").arg(QDir::tempPath());
        return false;
    }
    ++m_read;
    entry = ListingEntry();
    entry.path = std::move(d.now.path);
    entry.kind = d.now.kind;
    entry.size = d.now.size;
    entry.unreadable = d.now.sizeKnown ? 0u : unsigned(kUnreadableStatus);
    entry.timeKnown = d.now.timeKnown;
    entry.modified = d.now.modified;
    entry.utcOffset = d.now.utcOffset;
    entry.crcKnown = d.now.crcKnown;
    entry.crc = d.now.crc;
    return true;
}

} // namespace quillon
