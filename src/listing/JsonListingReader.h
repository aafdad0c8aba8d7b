#pragma once

#include "listing/ListingSource.h"

#include <QIODevice>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quillon {

class NameSet;

/// Reads a JSON listing as JsonListingWriter writes it, one entry at a time: the document is
/// never held whole, so memory stays the same for any number of entries. Any JSON layout of
/// the same document reads (white space, key order within an entry, escapes); keys it does not
/// know are skipped without being kept. Entries placed before the header (another writer's key
/// order) are read in a second pass, which needs a device that can seek.
///
/// Bounds, so that a hostile listing cannot fill the memory: a text (a path, a name, a detail)
/// holds at most kLongestText bytes (pathHex twice that), a number 64 characters, values nest
/// at most kDeepest levels, and the header keeps at most kHeaderLimit bytes of locations and
/// exclusions (what a job file and an exclusion list within their own bounds need). Beyond these
/// the reader holds one entry and the names of the folder being read (to find an entry given
/// twice); its time is linear in the listing's size. Whatever breaks a bound or the format is
/// refused: error() names the listing and the byte offset.
class JsonListingReader : public ListingSource {
public:
    static constexpr std::size_t kLongestText = 1 << 20;
    static constexpr int kDeepest = 32;
    static constexpr std::size_t kHeaderLimit = 96 << 20;

    /// The device must stay open while the reader is used. name is what messages call the
    /// listing (by default the file's name).
    explicit JsonListingReader(QIODevice& in, QString name = {});
    ~JsonListingReader() override;

    /// Reads up to the first entry; false with error() when the file is no listing.
    bool open();

    const ListingHeader& header() const override { return m_header; }
    bool next(ListingEntry& entry) override;
    QString error() const override { return m_error; }

private:
    class Tokens;
    bool fail(const QString& why, qint64 at = -1);
    bool broken();
    bool readHeaderValue(const std::string& key);
    bool readJob();
    bool readLocations();
    bool readExclusions(std::string& key);
    bool readLocation();
    bool readTexts(QStringList& list);
    bool keep(std::size_t bytes);
    bool readEntry(ListingEntry& entry);
    bool readEntryKey(unsigned& bit, const DetailColumnRow*& row, std::size_t place);
    bool readEntryMember(ListingEntry& entry, unsigned& seen, std::size_t place);
    bool readEntryValue(ListingEntry& entry, unsigned bit, std::string_view text, bool isString,
                        bool isNull);
    bool readTime(std::string_view text, std::int64_t& seconds, int& utcOffset);
    bool readEntryCrc(ListingEntry& entry, std::string_view text, bool isString, bool isNull);
    bool readEntryCount(ListingEntry& entry, unsigned bit, std::string_view text, bool isString,
                        bool isNull);
    bool checkRepeat(const ListingEntry& entry, qint64 at);
    bool finishDocument();

    std::unique_ptr<Tokens> m_tokens;
    std::unique_ptr<NameSet> m_groupNames; ///< of the folder being read
    QIODevice& m_in;
    QString m_name;
    ListingHeader m_header;
    QString m_error;
    std::size_t m_headerBytes = 0;
    bool m_sawFormat = false;
    bool m_inEntries = false;
    bool m_firstEntry = true;
    bool m_done = false;
    // The folder whose entries are being read, and the names of its files met so far.
    std::string m_group;
    bool m_groupFolderSeen = false;
    bool m_haveGroup = false;
    std::string m_key, m_text, m_hex; ///< an entry's scratch texts
    /// The keys met at the first places of the entry before, as written with their colon, and
    /// what they are.
    struct KeyGuess {
        std::uint64_t word[2] = {}; ///< the key in quotes up to its value, then zeros
        std::uint64_t mask[2] = {}; ///< all ones over those bytes
        std::size_t size = 0;       ///< 0: no guess
        unsigned bit = 0;
        const DetailColumnRow* row = nullptr;
    };
    std::array<KeyGuess, 16> m_guesses;
    std::string m_lastTime; ///< the last time read, and what it was read as
    std::int64_t m_lastSeconds = 0;
    int m_lastOffset = 0;
};

} // namespace quillon
