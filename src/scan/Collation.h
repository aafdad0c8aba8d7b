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

    /// How much of a text AppendLeadingWeights weighed.
    struct LeadingWeights {
        bool complete = false; ///< the whole text: its weights are its whole first level
        bool ascii = false;    ///< the text is ASCII: its weights alone decide its order
    };

    /// Where this collation orders ASCII text character by character (no rule joins or
    /// splits ASCII characters, and none differ at the second level only), appends to out one
    /// weight byte per character of the longest leading part of utf8 made of ASCII characters
    /// and of Latin letters that share their first-level weight with one (é with e), leaving
    /// out the ignorable ones. Weights compare by memcmp in the order of the collation's first
    /// level: where two texts' weights differ before the shorter ends, so do their keys, the
    /// same way. Leaves out the last characters of that part where a rule could join them to
    /// the character after it. Appends nothing for other collations.
    LeadingWeights AppendLeadingWeights(std::string_view utf8, std::string& out) const;

private:
    void Open(std::string_view posixLocale);
    void OpenUncached(std::string_view posixLocale);
    void PrepareAsciiWeights();
    bool AsciiIsPlain(std::vector<std::u16string>& latinContractions) const;
    std::array<char16_t, 128> RankAscii();
    void PrepareLatinWeights(const std::array<char16_t, 128>& order,
                             const std::vector<std::u16string>& contractions);
    void AppendFallbackKey(std::string_view utf8, std::string& out) const;
    std::uint8_t WeightAt(const unsigned char* bytes, std::size_t size, std::size_t at,
                          std::size_t& length) const;
    char* LeaveOutLatinTail(const unsigned char* bytes, std::size_t size, std::size_t pos,
                            char* first, char* next) const;

    UCollator* m_collator = nullptr;
    std::string m_localeName;
    bool m_asciiWeights = false;
    std::array<std::uint8_t, 128> m_asciiWeight{}; // 0: ignorable
    // Characters below kLatinEnd take two bytes in UTF-8 and hold the accented Latin letters.
    static constexpr char16_t kLatinEnd = 0x250;
    static constexpr std::uint8_t kNoLatinWeight = 0xFF; // above every ASCII weight
    bool m_latinWeights = false;
    std::uint8_t m_latinTail = 0; // characters left out before one without a weight
    std::array<std::uint8_t, kLatinEnd - 0x80> m_latinWeight{}; // 0: ignorable
    mutable std::vector<char16_t> m_utf16;                      // scratch for the decoded text
};

/// Many texts of one sort, compared in the collation's order. Each text's leading weights
/// (Collation::AppendLeadingWeights) decide most comparisons by a memcmp: all of them for ASCII
/// texts. The rest, where two texts' weights agree, go to the collator, which first looks at
/// the first bytes of each text's sort key (decoded and made once, when first needed). A full
/// key per text would cost more than the few comparisons a sort makes of it. The order is that
/// of the sort keys.
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
    struct Text {
        std::uint32_t bytes = 0;   // start in m_bytes
        std::uint32_t weights = 0; // start in m_weights (or of the fallback key in m_keys)
        std::uint32_t weightsEnd = 0;
        bool complete = false;
        bool ascii = false;
        bool decoded = false;
        std::uint32_t chars = 0; // start in m_chars, once decoded
        std::uint32_t charsEnd = 0;
        Prefix prefix{};
    };
    const Text& decoded(std::uint32_t index) const;

    const Collation* m_collation;
    std::string m_bytes;   // the texts
    std::string m_weights; // their leading weights (without a collator: fallback keys)
    // Per text its first eight weights as one big-endian number, zeros after the last: most
    // comparisons end there, without reaching the texts' other fields.
    std::vector<std::uint64_t> m_leads;
    mutable std::vector<Text> m_texts;
    mutable std::vector<char16_t> m_chars; // decoded texts, in the order they were decoded
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
