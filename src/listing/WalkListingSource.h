#pragma once

#include "listing/ListingSource.h"
#include "scan/ExclusionList.h"
#include "scan/ScanRecord.h"
#include "scan/Walker.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quillon {

/// A folder's entries in the record order, read while the folder is walked on a thread of
/// its own: the walk hands its records out folder by folder (Walker::handOutInOrder), a
/// RecordListingSource turns them into entries on that thread, and they wait in a small
/// bounded queue for next(). Memory goes with the open folders and the queue, not with the
/// tree; two of them walk two folders at once.
class WalkListingSource : public ListingSource {
public:
    /// Makes the source of the entries over the walk's records; its hooks are called on the
    /// walk's thread.
    using MakeSource = std::function<std::unique_ptr<RecordListingSource>(const RecordList&)>;

    /// keepGoing is asked at every entry of the walk (false ends it: error() "stopped").
    WalkListingSource(std::string root, const WalkSettings& settings,
                      const ExclusionList& exclusions, const MakeSource& make,
                      std::function<bool()> keepGoing);
    /// Stops the walk where it stands.
    ~WalkListingSource() override;
    WalkListingSource(const WalkListingSource&) = delete;
    WalkListingSource& operator=(const WalkListingSource&) = delete;

    /// How many threads read folders ahead of the walk (Walker::setThreads); before start().
    void setThreads(int threads) { m_threads = threads; }
    /// Starts the walk.
    void start();

    const ListingHeader& header() const override { return m_source->header(); }
    bool next(ListingEntry& entry) override;
    QString error() const override { return m_error; }
    bool readsDisk() const override { return true; }

    /// Once next() has returned false: the folders that could not be read, in walk order.
    const std::vector<const FolderNode*>& unreadableFolders() const { return m_unreadable; }

private:
    struct Batch {
        std::vector<ListingEntry> entries; // kept with their texts' room between uses
        std::size_t count = 0;
    };

    void walk();
    void handOut(Batch& batch);
    bool send(Batch& batch);
    Batch spare();
    void take(ListingEntry& entry, ListingEntry& from) const;

    const std::string m_root;
    const WalkSettings m_settings;
    const ExclusionList m_exclusions; ///< a copy: the walk starts on its thread later
    std::function<bool()> m_keepGoing;
    RecordList m_records;
    std::unique_ptr<RecordListingSource> m_source;
    std::vector<std::size_t> m_textColumns; ///< detail columns the header lists as texts
    std::vector<const FolderNode*> m_unreadable;
    int m_threads = 0;
    bool m_cancel = false;      ///< the walk's thread alone
    Walker* m_walker = nullptr; ///< while walk() runs

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Batch> m_full;
    std::vector<Batch> m_free;
    bool m_ended = false;
    QString m_walkError;
    std::atomic<bool> m_abandoned{false};
    std::thread m_thread;

    Batch m_reading; ///< next()'s own
    std::size_t m_readAt = 0;
    QString m_error;
};

} // namespace quillon
