#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct UCollator;

namespace quillon {

/// The program's case-insensitive text order: ICU collation for the user's locale at secondary
/// strength (case ignored, accents not), punctuation not ignored. Under "C"/"POSIX" the root
/// collation is used, since ICU's POSIX collation orders by code and would split folders.
///
/// Texts are UTF-8 bytes that may be invalid; an invalid byte collates as U+FFFD. Sort keys
/// compare with memcmp (CompareKeys); texts whose keys are equal are ordered by their bytes.
/// One instance is not safe to use from two threads at once (it keeps a scratch buffer).
class Collation {
public:
    /// A collator for the locale the process sees in LC_ALL, LC_COLLATE or LANG.
    Collation();
    /// A collator for the given POSIX locale name ("de_DE.UTF-8", "C", "sv_SE").
    explicit Collation(std::string_view posixLocale);
    ~Collation();
    Collation(Collation&& other) noexcept;
    Collation& operator=(Collation&& other) noexcept;
    Collation(const Collation&) = delete;
    Collation& operator=(const Collation&) = delete;

    /// The POSIX locale name the process's collation settings name ("C" when none is set).
    static std::string LocaleFromEnvironment();

    /// The ICU locale whose rules are in use: "root" for the root collation, or "bytes" when
    /// ICU could not open any collator (keys are then a folded form of the text).
    const std::string& localeName() const { return m_localeName; }

    /// Appends the sort key of utf8 to out (no terminating NUL).
    void AppendSortKey(std::string_view utf8, std::string& out) const;

    /// The sort key of utf8.
    std::string SortKey(std::string_view utf8) const;

    /// Orders two texts: by collation, then by bytes. Returns -1, 0 or 1. For one-off
    /// comparisons; sorts should compute each key once (SortKeyArena).
    int Compare(std::string_view a, std::string_view b) const;

    /// Orders two sort keys made by this class: -1, 0 or 1.
    static int CompareKeys(std::string_view a, std::string_view b);

    /// Orders two texts by their bytes (which for valid UTF-8 is code point order).
    static int CompareBytes(std::string_view a, std::string_view b);

    /// True when accents are compared from the end of the text (French accent order), so that
    /// a part two texts share can decide between them.
    bool comparesAccentsBackwards() const;

    /// False when ICU could not open any collator and keys are the folded fallback.
    bool hasCollator() const { return m_collator != nullptr; }

    /// Appends the UTF-16 form the collator reads (an invalid byte becomes U+FFFD).
    static void AppendDecoded(std::string_view utf8, std::vector<char16_t>& out);

    /// The first 16 bytes of the sort key of a decoded text, as two big-endian numbers padded
    /// with zeros: where two texts' prefixes differ, so do their keys, the same way. Needs
    /// hasCollator().
    std::array<std::uint64_t, 2> KeyPrefixOfDecoded(std::u16string_view text) const;

    /// Orders two decoded texts by collation alone (the order of their sort keys): -1, 0 or 1.
    /// Needs hasCollator().
    int CompareDecoded(std::u16string_view a, std::u16string_view b) const;

    /// Where this collation orders ASCII text character by character (no rule joins or
    /// splits ASCII characters, and none differ at the second level only), appends to out
    /// one weight byte per character of an ASCII text, leaving out the ignorable ones, and
    /// returns true: such texts then compare by memcmp of their weights, shorter first, in
    /// the collation's own order. False (out unchanged) for other text or collations.
    bool AppendAsciiWeights(std::string_view utf8, std::string& out) const;

private:
    void Open(std::string_view posixLocale);
    void OpenUncached(std::string_view posixLocale);
    void PrepareAsciiWeights();
    void AppendFallbackKey(std::string_view utf8, std::string& out) const;

    UCollator* m_collator = nullptr;
    std::string m_localeName;
    bool m_asciiWeights = false;
    std::array<std::uint8_t, 128> m_asciiWeight{}; // 0: ignorable
    mutable std::vector<char16_t> m_utf16;         // scratch for the decoded text
};

/// Many texts of one sort, compared in the collation's order. ASCII texts compare by their
/// weights where the collation has them (a memcmp of one byte per character). Any other text is
/// decoded once and gets the first bytes of its sort key, which decide most comparisons at the
/// cost of a load; only texts whose first bytes agree are compared by the collator. (A full key
/// per text costs more than the few comparisons a sort makes of it.) An ASCII text is decoded
/// only when it first meets one of the others. The order is that of the sort keys.
class CollationTexts {
public:
    explicit CollationTexts(const Collation& collation);

    /// Drops every text; capacity is kept for the next batch.
    void clear();
    /// Adds a text and returns its index (0, 1, 2... in order of adding).
    std::uint32_t add(std::string_view utf8);
    /// Orders the texts with indexes a and b by collation alone: -1, 0 or 1. Not safe to call
    /// from two threads at once (it may decode a text).
    int compare(std::uint32_t a, std::uint32_t b) const;

private:
    using Prefix = std::array<std::uint64_t, 2>;
    void decode(std::uint32_t index) const;

    const Collation* m_collation;
    std::string m_weights;                  // ASCII texts' weights, where the collation has them
    std::vector<std::size_t> m_weightStart; // per text; kNoWeights for a text without
    std::vector<std::size_t> m_weightEnd;
    std::string m_ascii;                   // the weighed texts themselves, for a late decoding
    std::vector<std::size_t> m_asciiStart; // per text; where its bytes start in m_ascii
    mutable std::vector<char16_t> m_chars; // decoded texts, in the order they were decoded
    mutable std::vector<std::size_t> m_charStart; // per text; kNotDecoded until decoded
    mutable std::vector<std::size_t> m_charEnd;
    mutable std::vector<Prefix> m_prefix; // per decoded text: its key's first bytes
    std::string m_keys; // without a collator: fallback keys instead of decoded texts
    std::vector<std::size_t> m_keyEnd;
};

/// Sort keys of many texts in one buffer (one allocation for all keys plus an offset each),
/// so a sort computes every key once without a heap string per text.
class SortKeyArena {
public:
    explicit SortKeyArena(const Collation& collation) : m_collation(&collation) {}

    /// Drops every key; the buffer's capacity is kept for the next batch.
    void clear();

    /// Computes the key of utf8 and returns its index (0, 1, 2... in order of adding).
    std::uint32_t add(std::string_view utf8);

    /// The key with the given index.
    std::string_view key(std::uint32_t index) const
    {
        return std::string_view(m_bytes).substr(m_offsets[index],
                                                m_offsets[index + 1] - m_offsets[index]);
    }

    /// Orders the keys with indexes a and b (memcmp order).
    int compare(std::uint32_t a, std::uint32_t b) const
    {
        return Collation::CompareKeys(key(a), key(b));
    }

    std::size_t size() const { return m_offsets.size() - 1; }

private:
    const Collation* m_collation;
    std::string m_bytes;
    std::vector<std::size_t> m_offsets{0};
};

} // namespace quillon
