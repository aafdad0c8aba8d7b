#pragma once

#include "scan/FileSeen.h"
#include "scan/ScanRecord.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillon {

class SettingsStore;

/// The summaries of a scan (section "Summaries" of the settings; every one off by default, so
/// a report without them is as before).
struct SummarySettings {
    bool Top = false;        ///< the largest files
    bool Types = false;      ///< totals by extension
    bool Duplicates = false; ///< groups of files of equal size and CRC32
    int TopCount = 20;       ///< how many of the largest files
    bool SameBytes = false;  ///< duplicates also compared byte for byte
    bool Alone = false;      ///< the summaries stand in for the report's body

    bool any() const { return Top || Types || Duplicates; }
    /// The duplicates' files are read on threads of their own while the report is laid out.
    bool duplicatesAhead() const { return Duplicates && !Alone; }
    bool operator==(const SummarySettings&) const = default;
};

/// TopCount is kept within 1..kMaxTopCount; a damaged value reads as the default.
inline constexpr int kMaxTopCount = 100000;

SummarySettings LoadSummarySettings(const SettingsStore& store);
void SaveSummarySettings(const SummarySettings& settings, SettingsStore& store);

/// "top,types,duplicates" (any of them, "," or " " between; "all" for the three) switched on
/// in settings; false when a word is none of these.
bool ParseSummaryKinds(const QString& text, SummarySettings& settings);

struct SummaryFile {
    std::string path;
    std::int64_t size = 0;
};

struct TypeTotal {
    std::string extension; ///< lower case, without the dot; empty for names without one
    std::uint64_t files = 0;
    std::int64_t bytes = 0;
};

struct DuplicateGroup {
    std::int64_t size = 0;
    std::uint32_t crc = 0;
    std::vector<std::string> paths; ///< in the scan's order
    /// Copies beyond the first; hard links of one file are one copy.
    std::uint64_t copies = 0;
    std::int64_t wasted() const { return size * static_cast<std::int64_t>(copies); }
};

struct ScanSummary {
    SummarySettings settings;
    std::vector<SummaryFile> top;           ///< largest first; equal sizes by path
    std::vector<TypeTotal> types;           ///< most bytes first; equal bytes by extension
    std::int64_t totalBytes = 0;            ///< of all files counted in types
    std::vector<DuplicateGroup> duplicates; ///< most wasted space first
    /// Files whose content could not be read: never counted as duplicates.
    std::vector<std::string> unreadable;
    std::uint64_t filesRead = 0; ///< files whose checksum was read
    bool stopped = false;        ///< cancelled before every file was compared

    /// Share of totalBytes in per cent.
    double share(const TypeTotal& type) const;
};

struct SummaryHooks {
    std::function<void()> yield;     ///< once per file, and between blocks of a read
    std::function<bool()> cancelled; ///< true stops the reading
    std::function<void(const std::string& path, const QString& reason)> unreadable;
};

/// The first blocks of the duplicates' files, read on a thread of its own while the walk goes
/// on: a file is queued once another file of its size has been seen. Made before the walk and
/// given to it as its FileSeen; the DuplicatesAhead given it takes what was read and reads
/// what is left from the other end. Destroying it stops the reading and waits for the thread.
class DuplicatesFeed : public FileSeen {
public:
    DuplicatesFeed();
    ~DuplicatesFeed() override;
    DuplicatesFeed(const DuplicatesFeed&) = delete;
    DuplicatesFeed& operator=(const DuplicatesFeed&) = delete;

    void seen(const RecordList& records, std::size_t index) override;
    void walked(bool stopped) override;

    struct State;

private:
    friend class DuplicatesAhead;
    std::unique_ptr<State> m_state;
};

/// The duplicates' files read on a thread of their own from construction on, so that the
/// reading overlaps the report's own lines; SummarizeScan then waits only for what is left.
/// The records must not change meanwhile. Destroying it stops the reading and waits for the
/// thread, so none is left reading.
class DuplicatesAhead {
public:
    /// With feed, the first blocks are the ones it read during the walk of records.
    DuplicatesAhead(const RecordList& records, bool sameBytes, DuplicatesFeed* feed = nullptr);
    ~DuplicatesAhead();
    DuplicatesAhead(const DuplicatesAhead&) = delete;
    DuplicatesAhead& operator=(const DuplicatesAhead&) = delete;

    /// Waits for the reading, serving hooks.yield and hooks.cancelled meanwhile (cancelled
    /// stops it), then gives summary the duplicates and tells hooks.unreadable of each file
    /// that could not be read, in the order a reading on this thread would have.
    void finish(ScanSummary& summary, const SummaryHooks& hooks);

    struct State;

private:
    std::unique_ptr<State> m_state;
};

/// The summaries that settings switch on, over the file records. Only files whose size
/// another file shares are read (CRC32), and with SameBytes only those whose checksum is
/// shared are compared, two at a time in blocks.
/// With ahead, the duplicates are the ones it read.
/// The duplicates of records, read on this thread (sameBytes: compared byte for byte too).
void FindDuplicates(const RecordList& records, const SummaryHooks& hooks, ScanSummary& summary,
                    bool sameBytes);

ScanSummary SummarizeScan(const RecordList& records, const SummarySettings& settings,
                          const SummaryHooks& hooks = {}, DuplicatesAhead* ahead = nullptr);

/// The summary as report lines of the staging file (rich text, one line each); texts are
/// escaped by escape.
std::vector<std::string>
SummaryReportLines(const ScanSummary& summary,
                   const std::function<std::string(std::string_view)>& escape);

} // namespace quillon
