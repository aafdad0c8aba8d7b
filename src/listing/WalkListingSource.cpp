#include "listing/WalkListingSource.h"

namespace quillon {

namespace {
// Entries per hand-over, and hand-overs waiting at most: a few thousand entries in all, so
// the walk runs ahead of the comparison without holding the tree.
constexpr std::size_t kBatchEntries = 512;
constexpr std::size_t kBatchesAhead = 8;
} // namespace

WalkListingSource::WalkListingSource(std::string root, const WalkSettings& settings,
                                     const ExclusionList& exclusions, const MakeSource& make,
                                     std::function<bool()> keepGoing)
    : m_root(std::move(root)), m_settings(settings), m_exclusions(exclusions),
      m_keepGoing(std::move(keepGoing)), m_source(make(m_records))
{
    for (const DetailColumnRow& row : kDetailColumns)
        if (header().columns[row.column] && ListingEntry::HasText(row))
            m_textColumns.push_back(static_cast<std::size_t>(row.column));
}

WalkListingSource::~WalkListingSource()
{
    {
        std::lock_guard lock(m_mutex);
        m_abandoned = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void WalkListingSource::start()
{
    m_thread = std::thread([this] { walk(); });
}

WalkListingSource::Batch WalkListingSource::spare()
{
    Batch batch;
    {
        std::lock_guard lock(m_mutex);
        if (!m_free.empty()) {
            batch = std::move(m_free.back());
            m_free.pop_back();
        }
    }
    batch.entries.resize(kBatchEntries);
    batch.count = 0;
    return batch;
}

// Waits for room; false when next() is no longer asked.
bool WalkListingSource::send(Batch& batch)
{
    bool sent = false;
    m_walker->waitingElsewhere([&] {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_abandoned || m_full.size() < kBatchesAhead; });
        if (!m_abandoned) {
            m_full.push_back(std::move(batch));
            sent = true;
        }
    });
    if (!sent)
        return false;
    m_changed.notify_all();
    batch = spare();
    return true;
}

// One folder's records, now the walk's list, into entries.
void WalkListingSource::handOut(Batch& batch)
{
    m_source->rewind();
    for (;;) {
        if (batch.count == batch.entries.size() && !send(batch)) {
            m_cancel = true;
            return;
        }
        if (!m_source->next(batch.entries[batch.count]))
            break;
        ++batch.count;
    }
    if (!m_source->error().isEmpty())
        m_cancel = true;
}

void WalkListingSource::walk()
{
    ProgressHooks hooks;
    hooks.yield = [this] {
        if (m_abandoned.load(std::memory_order_relaxed) || !m_keepGoing())
            m_cancel = true;
    };
    Batch batch = spare();
    {
        Walker walker(m_records, m_exclusions, {m_root}, hooks, &m_cancel);
        m_walker = &walker;
        walker.setThreads(m_threads);
        walker.handOutInOrder([&] { handOut(batch); });
        walker.WalkLocation(m_root, m_settings);
        m_unreadable = walker.unreadableFolders();
    }
    {
        std::lock_guard lock(m_mutex);
        if (!m_source->error().isEmpty())
            m_walkError = m_source->error();
        else if (m_cancel)
            m_walkError = QStringLiteral("stopped");
        if (batch.count > 0)
            m_full.push_back(std::move(batch));
        m_ended = true;
    }
    m_changed.notify_all();
}

void WalkListingSource::take(ListingEntry& entry, ListingEntry& from) const
{
    // Only what the entry holds moves: the whole entry's texts would cost more than the rest.
    entry.path.swap(from.path);
    for (const std::size_t column : m_textColumns)
        entry.texts[column].swap(from.texts[column]);
    static_cast<ListingEntryValues&>(entry) = from;
}

bool WalkListingSource::next(ListingEntry& entry)
{
    while (m_readAt == m_reading.count) {
        std::unique_lock lock(m_mutex);
        if (!m_reading.entries.empty())
            m_free.push_back(std::move(m_reading));
        m_reading = {};
        m_readAt = 0;
        m_changed.wait(lock, [this] { return !m_full.empty() || m_ended; });
        if (m_full.empty()) {
            m_error = m_walkError;
            lock.unlock();
            if (m_thread.joinable())
                m_thread.join();
            return false;
        }
        m_reading = std::move(m_full.front());
        m_full.pop_front();
        lock.unlock();
        m_changed.notify_all();
    }
    take(entry, m_reading.entries[m_readAt++]);
    return true;
}

} // namespace quillon
