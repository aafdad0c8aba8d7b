#include "listing/ListingCompare.h"

#include "scan/Collation.h"

#include <QFile>
#include <algorithm>
#include <map>
#include <optional>

namespace quillon {

namespace {

constexpr std::size_t kYieldEvery = 1024;

// Where a folder's records stand in the record order: the scan location, then the folder's
// path below it.
struct GroupKey {
    std::string root; // the location's path; empty when both sides are compared relatively
    std::string rel;  // folder below the location, components joined by "/"; "" for itself
};

// The order of the record sort: locations by their path + "/", then folder by folder, each
// component by its name + "/" (collation, then bytes), a folder before what lies below it.
int CompareKeys(const Collation& collation, const GroupKey& a, const GroupKey& b)
{
    if (a.root != b.root) {
        const int c = collation.Compare(a.root + '/', b.root + '/');
        if (c != 0)
            return c;
    }
    std::string_view x = a.rel;
    std::string_view y = b.rel;
    std::string left, right;
    for (;;) {
        if (x.empty() || y.empty())
            return x.empty() == y.empty() ? 0 : (x.empty() ? -1 : 1);
        const std::size_t xs = x.find('/');
        const std::size_t ys = y.find('/');
        const std::string_view xc = x.substr(0, xs);
        const std::string_view yc = y.substr(0, ys);
        if (xc != yc) {
            left.assign(xc).push_back('/');
            right.assign(yc).push_back('/');
            const int c = collation.Compare(left, right);
            if (c != 0)
                return c;
        }
        x = xs == std::string_view::npos ? std::string_view() : x.substr(xs + 1);
        y = ys == std::string_view::npos ? std::string_view() : y.substr(ys + 1);
    }
}

std::vector<std::string> RootsOf(const ListingHeader& header)
{
    std::vector<std::string> roots;
    for (const ScanLocation& location : header.locations) {
        if (location.icon == ScanLocation::kExcludedIcon || location.path.isEmpty())
            continue;
        std::string root = QFile::encodeName(location.path).toStdString();
        while (root.size() > 1 && root.back() == '/')
            root.pop_back();
        roots.push_back(std::move(root));
    }
    return roots;
}

struct Group {
    GroupKey key;
    std::optional<CompareItem> folder;
    std::vector<CompareItem> files;
};

// One side, read a folder's records at a time.
class Side {
public:
    Side(ListingSource& source, bool relative, bool folders, const Collation& collation)
        : m_source(source), m_roots(RootsOf(source.header())), m_relative(relative),
          m_folders(folders), m_collation(collation)
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
            } else {
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

    bool read(QString* error)
    {
        if (!m_source.next(m_pending)) {
            if (!m_source.error().isEmpty())
                *error = m_source.error();
            return false;
        }
        m_hasPending = true;
        const std::string& path = m_pending.path;
        std::string_view root;
        for (const std::string& r : m_roots) {
            const bool inside =
                path == r ||
                (r == "/" ? path.starts_with('/')
                          : path.starts_with(r) && path.size() > r.size() && path[r.size()] == '/');
            if (inside && r.size() >= root.size())
                root = r;
        }
        std::string_view rel = path;
        if (!root.empty())
            rel = path == root ? std::string_view() : rel.substr(root == "/" ? 1 : root.size() + 1);
        m_pendingKey.root = m_relative ? std::string() : std::string(root);
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
    bool m_folders;
    const Collation& m_collation;
    ListingEntry m_pending;
    CompareItem m_pendingItem;
    GroupKey m_pendingKey;
    bool m_hasPending = false;
    GroupKey m_previous;
    bool m_havePrevious = false;
    std::size_t m_count = 0;
};

void CompareItems(const CompareItem& a, const CompareItem& b, CompareResult& result)
{
    Difference d;
    d.kindChanged = a.kind != b.kind;
    if (a.kind != EntryKind::Folder || b.kind != EntryKind::Folder) {
        d.sizeChanged = a.size != b.size;
        d.timeChanged = a.timeKnown && b.timeKnown && a.modified != b.modified;
        d.crcChanged = a.crcKnown && b.crcKnown && a.crc != b.crc;
    }
    if (d.kindChanged || d.sizeChanged || d.timeChanged || d.crcChanged) {
        d.old = a;
        d.now = b;
        result.changed.push_back(std::move(d));
    }
}

void Removed(CompareItem item, CompareResult& result)
{
    Difference d;
    d.old = std::move(item);
    result.removed.push_back(std::move(d));
}

void Added(CompareItem item, CompareResult& result)
{
    Difference d;
    d.now = std::move(item);
    result.added.push_back(std::move(d));
}

void WholeGroup(Group& group, bool removed, CompareResult& result)
{
    if (group.folder)
        (removed ? Removed : Added)(std::move(*group.folder), result);
    for (CompareItem& item : group.files)
        (removed ? Removed : Added)(std::move(item), result);
}

void MatchGroups(Group& a, Group& b, CompareResult& result)
{
    if (a.folder && b.folder)
        CompareItems(*a.folder, *b.folder, result);
    else if (a.folder)
        Removed(std::move(*a.folder), result);
    else if (b.folder)
        Added(std::move(*b.folder), result);
    std::size_t i = 0, j = 0;
    while (i < a.files.size() || j < b.files.size()) {
        if (j == b.files.size() || (i < a.files.size() && a.files[i].path < b.files[j].path)) {
            Removed(std::move(a.files[i++]), result);
        } else if (i == a.files.size() || b.files[j].path < a.files[i].path) {
            Added(std::move(b.files[j++]), result);
        } else {
            CompareItems(a.files[i++], b.files[j++], result);
        }
    }
}

// A removed and an added file with the same content are one file that moved.
void FindMoves(CompareResult& result)
{
    std::multimap<std::pair<std::int64_t, std::uint32_t>, std::size_t> added;
    for (std::size_t k = 0; k < result.added.size(); ++k) {
        const CompareItem& item = result.added[k].now;
        if (item.kind == EntryKind::File && item.crcKnown && item.size > 0)
            added.emplace(std::make_pair(item.size, item.crc), k);
    }
    if (added.empty())
        return;
    std::vector<bool> takenAdded(result.added.size(), false);
    std::vector<Difference> removed;
    for (Difference& gone : result.removed) {
        const CompareItem& item = gone.old;
        auto it = item.kind == EntryKind::File && item.crcKnown && item.size > 0
                      ? added.find(std::make_pair(item.size, item.crc))
                      : added.end();
        if (it == added.end()) {
            removed.push_back(std::move(gone));
            continue;
        }
        Difference move;
        move.old = std::move(gone.old);
        move.now = result.added[it->second].now;
        takenAdded[it->second] = true;
        added.erase(it);
        result.moved.push_back(std::move(move));
    }
    result.removed = std::move(removed);
    std::vector<Difference> stay;
    for (std::size_t k = 0; k < result.added.size(); ++k)
        if (!takenAdded[k])
            stay.push_back(std::move(result.added[k]));
    result.added = std::move(stay);
}

} // namespace

bool ListsFolders(const ListingHeader& header)
{
    return header.reportType != QLatin1String("List In Details");
}

bool CompareListings(ListingSource& a, ListingSource& b, CompareResult& result, QString* error,
                     const std::function<bool()>& yield)
{
    const Collation collation;
    const bool relative = RootsOf(a.header()).size() == 1 && RootsOf(b.header()).size() == 1;
    const bool folders = ListsFolders(a.header()) && ListsFolders(b.header());
    Side left(a, relative, folders, collation);
    Side right(b, relative, folders, collation);
    QString leftError, rightError;
    Group ga, gb;
    bool haveA = left.next(ga, &leftError, yield);
    bool haveB = right.next(gb, &rightError, yield);
    while (haveA || haveB) {
        const int order = !haveA ? 1 : !haveB ? -1 : CompareKeys(collation, ga.key, gb.key);
        if (order < 0) {
            WholeGroup(ga, true, result);
        } else if (order > 0) {
            WholeGroup(gb, false, result);
        } else {
            MatchGroups(ga, gb, result);
        }
        if (order <= 0)
            haveA = left.next(ga, &leftError, yield);
        if (order >= 0)
            haveB = right.next(gb, &rightError, yield);
    }
    if (!leftError.isEmpty() || !rightError.isEmpty()) {
        *error = leftError.isEmpty() ? rightError : leftError;
        return false;
    }
    result.entriesA = left.entries;
    result.entriesB = right.entries;
    FindMoves(result);
    return true;
}

} // namespace quillon
