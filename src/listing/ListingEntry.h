#pragma once

#include "report/DetailColumns.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace quillon {

/// What an entry of a listing stands for.
enum class EntryKind : std::uint8_t { File, Folder, Link };

/// "file", "folder" or "link".
std::string_view EntryKindText(EntryKind kind);
/// The kind of a text written by EntryKindText; false for any other text.
bool EntryKindFromText(std::string_view text, EntryKind& kind);

/// What of an entry could not be read although the entry is there (bits of
/// ListingEntry::unreadable).
enum EntryUnreadable : unsigned {
    kUnreadableVersion = 1,
    kUnreadableTag = 2,
    kUnreadableCrc = 4,
    kUnreadableStatus = 8, ///< size, time and every detail unknown
};

/// An entry's values beside its texts, apart so that they are reset or handed on as one
/// (ListingEntry::clear, a walked folder's entries): a value added here is never left behind.
struct ListingEntryValues {
    EntryKind kind = EntryKind::File;
    std::int64_t size = 0;
    bool timeKnown = false;
    std::int64_t modified = 0; ///< last change, seconds since 1970 UTC
    int utcOffset = 0;         ///< seconds east of UTC the time is written with
    bool crcKnown = false;
    std::uint32_t crc = 0;
    /// EntryUnreadable bits: a checksum that could not be read is unknown (crcKnown false) and
    /// never equal to anything; an unreadable status leaves size and time unknown too.
    unsigned unreadable = 0;
    /// A folder's total size and number of files with everything below it, when folder
    /// totals are on; written as totalSize and fileCount.
    bool totalsKnown = false;
    std::int64_t totalSize = 0;
    std::uint64_t fileCount = 0;
    /// A file's allocated size (blocks of 512 bytes), when sizes on disk are on; "allocated".
    bool allocatedKnown = false;
    std::int64_t allocated = 0;
};

/// One file or folder of a listing with its exact values (never the report's padded texts).
struct ListingEntry : ListingEntryValues {
    std::string path; ///< full path as bytes, as on disk (may be invalid UTF-8)
    /// The detail columns' texts, indexed by column: attribute letters without padding ("RA"),
    /// ID3v1 fields with their trailing blanks cut; see detail().
    std::array<std::string, kDetailColumnCount> texts;

    /// Back to a blank entry, keeping the texts' room: a reader fills one entry a million
    /// times, and a new entry would build and free every text each time.
    void clear()
    {
        static_cast<ListingEntryValues&>(*this) = ListingEntryValues();
        path.clear();
        for (std::string& text : texts)
            text.clear();
    }

    /// The folder holding the entry (no trailing "/", "/" for the root's children).
    std::string_view folder() const;
    /// The last component of the path.
    std::string_view name() const;

    /// The text of a detail column; nullptr for the columns that are no text here (name,
    /// size, date, time, checksum).
    std::string* detail(DetailColumn column)
    {
        return HasText(DetailColumnOf(column)) ? &texts[static_cast<std::size_t>(column)] : nullptr;
    }
    const std::string* detail(DetailColumn column) const
    {
        return const_cast<ListingEntry*>(this)->detail(column);
    }
    /// Whether a column is a text in an entry: those the file's details hold as text.
    static constexpr bool HasText(const DetailColumnRow& row) { return row.detail || row.tagField; }
};
// Anything but the path and the texts belongs in ListingEntryValues, or clear() would keep it.
static_assert(sizeof(ListingEntry) ==
              sizeof(ListingEntryValues) + sizeof(std::string) * (1 + kDetailColumnCount));

/// The 8 upper-case hexadecimal digits of a checksum.
std::string CrcText(std::uint32_t crc);

/// The text of a checksum that could not be read, in place of its 8 digits.
inline constexpr std::string_view kUnreadableText = "unreadable";

/// Calls f(key, value, known) for each detail column that columns switch on, in the listings'
/// order; known is false for a value that is unknown: a checksum not computed (a folder, a
/// link) and any detail that could not be read, except a checksum, whose value is then
/// kUnreadableText.
template <class F> void ForEachDetail(const ListingColumns& c, const ListingEntry& e, F f)
{
    const bool status = !(e.unreadable & kUnreadableStatus);
    for (const DetailColumnRow& row : kDetailColumns) {
        if (!row.listingKey || !c[row.column])
            continue;
        if (const std::string* text = e.detail(row.column)) {
            f(std::string_view(row.listingKey), std::string_view(*text),
              status && !(e.unreadable & row.unreadable));
        } else if (e.unreadable & (kUnreadableCrc | kUnreadableStatus)) {
            f(std::string_view(row.listingKey), kUnreadableText, true);
        } else {
            f(std::string_view(row.listingKey),
              std::string_view(e.crcKnown ? CrcText(e.crc) : std::string()), e.crcKnown);
        }
    }
}

/// "2026-12-07T13:01:33+01:00".
std::string IsoTime(std::int64_t seconds, int utcOffset);
/// Appends the same text to out, with no string of its own.
void AppendIsoTime(std::string& out, std::int64_t seconds, int utcOffset);
/// Reads what IsoTime writes (also "Z" and fractions of a second, which are dropped).
bool ParseIsoTime(std::string_view text, std::int64_t& seconds, int& utcOffset);

/// True when text is valid UTF-8 (no overlong forms, surrogates or code points past U+10FFFF).
bool IsValidUtf8(std::string_view text);
/// The text with each byte that is not part of valid UTF-8 replaced by U+FFFD.
std::string ValidUtf8(std::string_view text);
/// Lower-case hexadecimal of the bytes, and back (false for an odd length or a non-hex digit).
std::string HexBytes(std::string_view bytes);
bool BytesFromHex(std::string_view hex, std::string& bytes);

} // namespace quillon
