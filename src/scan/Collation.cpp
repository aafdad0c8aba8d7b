#include "scan/Collation.h"

#include "platform/Utf8.h"

#include <unicode/ucol.h>
#include <unicode/uiter.h>
#include <unicode/uloc.h>
#include <unicode/uset.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

namespace quillon {

namespace {

bool IsPosixLocale(std::string_view name)
{
    return name.empty() || name == "C" || name == "POSIX";
}

// Appends the UTF-16 form of utf8, an invalid byte becoming U+FFFD.
void AppendUtf16(std::string_view utf8, std::vector<char16_t>& out)
{
    // Grow geometrically: reserving the exact size for every text appended to one buffer would
    // copy the whole buffer once per text, quadratic in the texts of a folder.
    if (out.capacity() - out.size() < utf8.size())
        out.reserve(std::max(out.capacity() * 2, out.size() + utf8.size()));
    for (std::size_t pos = 0; pos < utf8.size();) {
        const unsigned char byte = static_cast<unsigned char>(utf8[pos]);
        if (byte < 0x80) {
            out.push_back(byte);
            ++pos;
            continue;
        }
        const Utf8Char c = DecodeUtf8At(utf8, pos);
        pos += c.length;
        const char32_t cp = c.codePoint == kInvalidCodePoint ? U'\uFFFD' : c.codePoint;
        if (cp >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
}

void DecodeToUtf16(std::string_view utf8, std::vector<char16_t>& out)
{
    out.clear();
    AppendUtf16(utf8, out);
}

} // namespace

Collation::Collation()
{
    Open(LocaleFromEnvironment());
}

Collation::Collation(std::string_view posixLocale)
{
    Open(posixLocale);
}

Collation::~Collation()
{
    if (m_collator)
        ucol_close(m_collator);
}

Collation::Collation(Collation&& other) noexcept
    : m_collator(std::exchange(other.m_collator, nullptr)),
      m_localeName(std::move(other.m_localeName)), m_asciiWeights(other.m_asciiWeights),
      m_asciiWeight(other.m_asciiWeight), m_latinWeights(other.m_latinWeights),
      m_latinTail(other.m_latinTail), m_latinWeight(other.m_latinWeight)
{}

Collation& Collation::operator=(Collation&& other) noexcept
{
    if (this != &other) {
        if (m_collator)
            ucol_close(m_collator);
        m_collator = std::exchange(other.m_collator, nullptr);
        m_localeName = std::move(other.m_localeName);
        m_asciiWeights = other.m_asciiWeights;
        m_asciiWeight = other.m_asciiWeight;
        m_latinWeights = other.m_latinWeights;
        m_latinTail = other.m_latinTail;
        m_latinWeight = other.m_latinWeight;
    }
    return *this;
}

std::string Collation::LocaleFromEnvironment()
{
    // The precedence setlocale() applies to LC_COLLATE.
    for (const char* variable : {"LC_ALL", "LC_COLLATE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return value;
    }
    return "C";
}

void Collation::Open(std::string_view posixLocale)
{
    // Opening a collator and finding its ASCII weights walks the locale's whole tailoring
    // (milliseconds; most of a short comparison's time): each locale is prepared once per
    // process and later collations start from a clone of it.
    struct Prepared {
        UCollator* collator = nullptr;
        std::string localeName;
        bool asciiWeights = false;
        std::array<std::uint8_t, 128> asciiWeight{};
        bool latinWeights = false;
        std::uint8_t latinTail = 0;
        std::array<std::uint8_t, kLatinEnd - 0x80> latinWeight{};
    };
    static std::mutex mutex;
    // Kept past the end of the process (never destroyed, so never leaked).
    static auto& prepared = *new std::map<std::string, Prepared, std::less<>>;
    const std::lock_guard lock(mutex);
    if (const auto found = prepared.find(posixLocale); found != prepared.end()) {
        UErrorCode status = U_ZERO_ERROR;
        m_collator = found->second.collator ? ucol_clone(found->second.collator, &status) : nullptr;
        if (U_FAILURE(status)) {
            m_collator = nullptr;
        } else {
            m_localeName = found->second.localeName;
            m_asciiWeights = found->second.asciiWeights;
            m_asciiWeight = found->second.asciiWeight;
            m_latinWeights = found->second.latinWeights;
            m_latinTail = found->second.latinTail;
            m_latinWeight = found->second.latinWeight;
            return;
        }
    }
    OpenUncached(posixLocale);
    Prepared ready;
    UErrorCode status = U_ZERO_ERROR;
    ready.collator = m_collator ? ucol_clone(m_collator, &status) : nullptr;
    if (U_FAILURE(status))
        return;
    ready.localeName = m_localeName;
    ready.asciiWeights = m_asciiWeights;
    ready.asciiWeight = m_asciiWeight;
    ready.latinWeights = m_latinWeights;
    ready.latinTail = m_latinTail;
    ready.latinWeight = m_latinWeight;
    prepared.emplace(std::string(posixLocale), ready);
}

void Collation::OpenUncached(std::string_view posixLocale)
{
    // "de_DE.UTF-8@euro" names the ICU locale "de_DE": the code set and modifier say nothing
    // about collation rules.
    std::string name(posixLocale.substr(0, posixLocale.find_first_of(".@")));
    std::string icuName; // empty = root
    if (!IsPosixLocale(name)) {
        char canonical[ULOC_FULLNAME_CAPACITY] = {};
        UErrorCode status = U_ZERO_ERROR;
        uloc_canonicalize(name.c_str(), canonical, sizeof canonical, &status);
        if (U_SUCCESS(status) && status != U_STRING_NOT_TERMINATED_WARNING)
            icuName = canonical;
    }

    UErrorCode status = U_ZERO_ERROR;
    m_collator = ucol_open(icuName.c_str(), &status);
    if (U_SUCCESS(status)) {
        const char* actual = ucol_getLocaleByType(m_collator, ULOC_ACTUAL_LOCALE, &status);
        if (U_SUCCESS(status) && actual && std::strncmp(actual, "en_US_POSIX", 11) == 0) {
            ucol_close(m_collator);
            m_collator = ucol_open("", &status);
        }
    }
    if (U_SUCCESS(status)) {
        ucol_setStrength(m_collator, UCOL_SECONDARY);
        ucol_setAttribute(m_collator, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
    }
    if (U_FAILURE(status)) {
        if (m_collator)
            ucol_close(m_collator);
        m_collator = nullptr;
        m_localeName = "bytes";
        return;
    }
    status = U_ZERO_ERROR;
    const char* actual = ucol_getLocaleByType(m_collator, ULOC_ACTUAL_LOCALE, &status);
    m_localeName = U_SUCCESS(status) && actual && *actual ? actual : "root";
    PrepareAsciiWeights();
}

// Most file names are ASCII, and comparing them through the collator costs far more than the
// order needs: the weights of the 128 ASCII characters are taken from the collator once, and
// used only where they provably give its order (see AppendAsciiWeights).
void Collation::PrepareAsciiWeights()
{
    m_asciiWeights = false;
    m_latinWeights = false;
    std::vector<std::u16string> latinContractions; // those that begin below kLatinEnd
    if (!AsciiIsPlain(latinContractions))
        return;
    const std::array<char16_t, 128> order = RankAscii();
    // Characters that differ only at the second level would be ordered by their first
    // difference instead of after every first-level weight: then no shortcut.
    const auto coll = [this](UChar a, UChar b) { return ucol_strcoll(m_collator, &a, 1, &b, 1); };
    ucol_setStrength(m_collator, UCOL_PRIMARY);
    bool single = true;
    for (std::size_t i = 1; single && i < order.size(); ++i) {
        const UChar a = order[i - 1];
        const UChar b = order[i];
        if (m_asciiWeight[a] != 0 && m_asciiWeight[a] != m_asciiWeight[b])
            single = coll(a, b) != UCOL_EQUAL;
    }
    if (single)
        PrepareLatinWeights(order, latinContractions);
    ucol_setStrength(m_collator, UCOL_SECONDARY);
    m_asciiWeights = single;
}

// A contraction, context rule or expansion among ASCII characters breaks the
// character-by-character order: false when the collator has one. The contractions that begin
// below kLatinEnd go to latinContractions.
bool Collation::AsciiIsPlain(std::vector<std::u16string>& latinContractions) const
{
    UErrorCode status = U_ZERO_ERROR;
    USet* contractions = uset_openEmpty();
    USet* expansions = uset_openEmpty();
    ucol_getContractionsAndExpansions(m_collator, contractions, expansions, true, &status);
    bool plain = U_SUCCESS(status);
    for (int32_t i = 0, n = uset_getItemCount(contractions); plain && i < n; ++i) {
        UChar32 start = 0;
        UChar32 end = 0;
        UChar text[64];
        const int32_t length =
            uset_getItem(contractions, i, &start, &end, text, std::size(text), &status);
        if (length == 0) // a range of single characters
            plain = start >= 0x80;
        else if (length > 0)
            plain = std::any_of(text, text + length, [](UChar c) { return c >= 0x80; });
        else
            plain = false;
        if (plain && length > 0 && text[0] < kLatinEnd)
            latinContractions.emplace_back(reinterpret_cast<const char16_t*>(text),
                                           static_cast<std::size_t>(length));
    }
    for (UChar32 c = 0; plain && c < 0x80; ++c)
        plain = !uset_contains(expansions, c);
    uset_close(contractions);
    uset_close(expansions);
    return plain;
}

// Ranks the ASCII characters into m_asciiWeight: equal ones share a weight, ignorable ones get
// 0. Returns them in the collator's order.
std::array<char16_t, 128> Collation::RankAscii()
{
    const UChar nothing = 0;
    std::array<UChar, 128> order{};
    for (int c = 0; c < 128; ++c)
        order[static_cast<std::size_t>(c)] = static_cast<UChar>(c);
    const auto coll = [this](UChar a, UChar b) { return ucol_strcoll(m_collator, &a, 1, &b, 1); };
    std::stable_sort(order.begin(), order.end(),
                     [&](UChar a, UChar b) { return coll(a, b) == UCOL_LESS; });
    std::uint8_t weight = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const UChar c = order[i];
        if (ucol_strcoll(m_collator, &c, 1, &nothing, 0) == UCOL_EQUAL) {
            m_asciiWeight[c] = 0;
            continue;
        }
        if (weight == 0 || coll(order[i - 1], c) != UCOL_EQUAL)
            ++weight;
        m_asciiWeight[c] = weight;
    }
    return order;
}

// Accented Latin letters mostly share their first-level weight with an ASCII letter (é with e),
// and a name's first level decides most comparisons: each such letter below kLatinEnd takes
// the weight of its ASCII letter, so that the leading part of a name made of them and of ASCII
// is weighed as ASCII is. Called at first-level strength.
void Collation::PrepareLatinWeights(const std::array<char16_t, 128>& order,
                                    const std::vector<std::u16string>& contractions)
{
    const UChar nothing = 0;
    const auto coll = [this](UChar a, UChar b) { return ucol_strcoll(m_collator, &a, 1, &b, 1); };
    for (UChar c = 0x80; c < kLatinEnd; ++c) {
        std::uint8_t& weight = m_latinWeight[c - 0x80];
        weight = kNoLatinWeight;
        if (ucol_strcoll(m_collator, &c, 1, &nothing, 0) == UCOL_EQUAL) {
            weight = 0;
            continue;
        }
        // order is sorted at the second level, so also at the first.
        const auto it = std::lower_bound(order.begin(), order.end(), c,
                                         [&](UChar x, UChar v) { return coll(x, v) == UCOL_LESS; });
        if (it != order.end() && m_asciiWeight[*it] != 0 && coll(*it, c) == UCOL_EQUAL)
            weight = m_asciiWeight[*it];
    }
    // A contraction or context rule that begins in the weighed part may reach the character
    // after it: the last characters before one without a weight are left out. One made of
    // weighed characters alone would break the character-by-character order.
    const auto weighed = [this](char16_t c) {
        return c < 0x80 || (c < kLatinEnd && m_latinWeight[c - 0x80] != kNoLatinWeight);
    };
    std::size_t longest = 1;
    for (const std::u16string& text : contractions) {
        if (!weighed(text.front()))
            continue;
        if (std::all_of(text.begin(), text.end(), weighed))
            return;
        longest = std::max(longest, text.size());
    }
    if (longest > 4)
        return;
    m_latinTail = static_cast<std::uint8_t>(longest - 1);
    m_latinWeights = true;
}

// The weight of the character at bytes[at] (of size bytes), kNoLatinWeight where the weighed
// part ends, and its length in bytes.
std::uint8_t Collation::WeightAt(const unsigned char* bytes, std::size_t size, std::size_t at,
                                 std::size_t& length) const
{
    const unsigned char byte = bytes[at];
    length = 1;
    if (byte < 0x80)
        return m_asciiWeight[byte];
    // Below kLatinEnd a character takes two bytes, led by 0xC2 to 0xC9.
    if (!m_latinWeights || byte < 0xC2 || byte > 0xC9 || at + 1 == size ||
        (bytes[at + 1] & 0xC0) != 0x80)
        return kNoLatinWeight;
    length = 2;
    return m_latinWeight[((byte & 0x1Fu) << 6 | (bytes[at + 1] & 0x3Fu)) - 0x80];
}

Collation::LeadingWeights Collation::AppendLeadingWeights(std::string_view utf8,
                                                          std::string& out) const
{
    if (!m_asciiWeights)
        return {};
    // At most one weight per byte: written in place, then trimmed.
    const std::size_t start = out.size();
    out.resize(start + utf8.size());
    char* const first = out.data() + start;
    char* next = first;
    const auto* const bytes = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t size = utf8.size();
    bool ascii = true;
    std::size_t pos = 0;
    while (pos < size) {
        if (bytes[pos] < 0x80) { // the common case, kept tight
            const std::uint8_t weight = m_asciiWeight[bytes[pos++]];
            *next = static_cast<char>(weight);
            next += weight != 0;
            continue;
        }
        std::size_t length = 0;
        const std::uint8_t weight = WeightAt(bytes, size, pos, length);
        if (weight == kNoLatinWeight)
            break;
        ascii = false;
        pos += length;
        *next = static_cast<char>(weight);
        next += weight != 0;
    }
    LeadingWeights result;
    if (pos == size)
        result = {true, ascii};
    else if (!m_latinWeights)
        next = first;
    else
        next = LeaveOutLatinTail(bytes, size, pos, first, next);
    out.resize(static_cast<std::size_t>(next - out.data()));
    return result;
}

// The last m_latinTail characters before the one without a weight at pos are left out: step
// back over them (one or two bytes each, as taken by WeightAt) and their weights. Returns where
// the weights written from first now end.
char* Collation::LeaveOutLatinTail(const unsigned char* bytes, std::size_t size, std::size_t pos,
                                   char* first, char* next) const
{
    for (unsigned left = m_latinTail; left > 0; --left) {
        if (pos == 0)
            return first;
        pos -= pos >= 2 && bytes[pos - 2] >= 0xC2 && bytes[pos - 2] <= 0xC9 &&
                       (bytes[pos - 1] & 0xC0) == 0x80
                   ? 2
                   : 1;
        std::size_t length = 0;
        next -= WeightAt(bytes, size, pos, length) != 0;
    }
    return next;
}

void Collation::AppendSortKey(std::string_view utf8, std::string& out) const
{
    if (!m_collator) {
        AppendFallbackKey(utf8, out);
        return;
    }
    DecodeToUtf16(utf8, m_utf16);
    const auto* source = reinterpret_cast<const UChar*>(m_utf16.data());
    const auto length = static_cast<int32_t>(m_utf16.size());

    // Keys run to about three bytes per character; guess generously and retry once if short.
    const std::size_t start = out.size();
    std::size_t room = m_utf16.size() * 4 + 16;
    for (;;) {
        out.resize(start + room);
        auto* target = reinterpret_cast<std::uint8_t*>(out.data() + start);
        const int32_t needed =
            ucol_getSortKey(m_collator, source, length, target, static_cast<int32_t>(room));
        if (needed > 0 && static_cast<std::size_t>(needed) <= room) {
            out.resize(start + static_cast<std::size_t>(needed) - 1); // drop the final NUL
            return;
        }
        if (needed <= 0) { // cannot happen for a valid collator; keep the order defined
            out.resize(start);
            AppendFallbackKey(utf8, out);
            return;
        }
        room = static_cast<std::size_t>(needed);
    }
}

// Without ICU data: ASCII case folded, controls before punctuation before digits before
// letters, other bytes after them by value. Keeps folders together as the collation does.
void Collation::AppendFallbackKey(std::string_view utf8, std::string& out) const
{
    static const std::string_view kPunctuation = " !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~";
    if (out.capacity() - out.size() < utf8.size())
        out.reserve(std::max(out.capacity() * 2, out.size() + utf8.size()));
    for (const char ch : utf8) {
        const unsigned char c = static_cast<unsigned char>(ch);
        std::size_t punct;
        if (c >= 0x80)
            out.push_back(static_cast<char>(c));
        else if (c >= '0' && c <= '9')
            out.push_back(static_cast<char>(0x30 + (c - '0')));
        else if (c >= 'a' && c <= 'z')
            out.push_back(static_cast<char>(0x50 + (c - 'a')));
        else if (c >= 'A' && c <= 'Z')
            out.push_back(static_cast<char>(0x50 + (c - 'A')));
        else if ((punct = kPunctuation.find(static_cast<char>(c))) != std::string_view::npos)
            out.push_back(static_cast<char>(0x02 + punct));
        else
            out.push_back(0x01);
    }
}

std::string Collation::SortKey(std::string_view utf8) const
{
    std::string key;
    AppendSortKey(utf8, key);
    return key;
}

int Collation::Compare(std::string_view a, std::string_view b) const
{
    const int byKey = CompareKeys(SortKey(a), SortKey(b));
    return byKey != 0 ? byKey : CompareBytes(a, b);
}

int Collation::CompareKeys(std::string_view a, std::string_view b)
{
    return CompareBytes(a, b);
}

int Collation::CompareBytes(std::string_view a, std::string_view b)
{
    const int c = a.compare(b); // char_traits<char> compares as unsigned char
    return (c > 0) - (c < 0);
}

void SortKeyArena::clear()
{
    m_bytes.clear();
    m_offsets.resize(1);
}

std::uint32_t SortKeyArena::add(std::string_view utf8)
{
    m_collation->AppendSortKey(utf8, m_bytes);
    m_offsets.push_back(m_bytes.size());
    return static_cast<std::uint32_t>(m_offsets.size() - 2);
}

} // namespace quillon

namespace quillon {

bool Collation::comparesAccentsBackwards() const
{
    if (!m_collator)
        return false;
    UErrorCode status = U_ZERO_ERROR;
    return ucol_getAttribute(m_collator, UCOL_FRENCH_COLLATION, &status) == UCOL_ON &&
           U_SUCCESS(status);
}

void Collation::AppendDecoded(std::string_view utf8, std::vector<char16_t>& out)
{
    AppendUtf16(utf8, out);
}

std::array<std::uint64_t, 2> Collation::KeyPrefixOfDecoded(std::u16string_view text) const
{
    UCharIterator iter;
    uiter_setString(&iter, reinterpret_cast<const UChar*>(text.data()),
                    static_cast<int32_t>(text.size()));
    std::uint32_t state[2] = {0, 0};
    std::uint8_t bytes[16] = {};
    UErrorCode status = U_ZERO_ERROR;
    ucol_nextSortKeyPart(m_collator, &iter, state, bytes, sizeof bytes, &status);
    if (U_FAILURE(status)) // cannot happen for a valid collator; the collator then decides
        std::fill(std::begin(bytes), std::end(bytes), std::uint8_t{0});
    std::array<std::uint64_t, 2> prefix{};
    for (std::size_t i = 0; i < 16; ++i)
        prefix[i / 8] = prefix[i / 8] << 8 | bytes[i];
    return prefix;
}

int Collation::CompareDecoded(std::u16string_view a, std::u16string_view b) const
{
    const UCollationResult r = ucol_strcoll(
        m_collator, reinterpret_cast<const UChar*>(a.data()), static_cast<int32_t>(a.size()),
        reinterpret_cast<const UChar*>(b.data()), static_cast<int32_t>(b.size()));
    return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
}

CollationTexts::CollationTexts(const Collation& collation) : m_collation(&collation) {}

void CollationTexts::clear()
{
    m_bytes.clear();
    m_weights.clear();
    m_leads.clear();
    m_texts.clear();
    m_chars.clear();
}

std::uint32_t CollationTexts::add(std::string_view utf8)
{
    const auto index = static_cast<std::uint32_t>(m_texts.size());
    Text& text = m_texts.emplace_back();
    text.bytes = static_cast<std::uint32_t>(m_bytes.size());
    text.weights = static_cast<std::uint32_t>(m_weights.size());
    if (m_collation->hasCollator()) {
        m_bytes.append(utf8);
        const Collation::LeadingWeights leading =
            m_collation->AppendLeadingWeights(utf8, m_weights);
        text.complete = leading.complete;
        text.ascii = leading.ascii;
    } else {
        m_collation->AppendSortKey(utf8, m_weights);
    }
    text.weightsEnd = static_cast<std::uint32_t>(m_weights.size());
    std::uint64_t lead = 0;
    for (std::uint32_t i = text.weights; i < text.weights + 8; ++i)
        lead = lead << 8 | (i < text.weightsEnd ? static_cast<unsigned char>(m_weights[i]) : 0u);
    m_leads.push_back(m_collation->hasCollator() ? lead : 0);
    return index;
}

const CollationTexts::Text& CollationTexts::decoded(std::uint32_t index) const
{
    Text& text = m_texts[index];
    if (!text.decoded) {
        const std::size_t end =
            index + 1 < m_texts.size() ? m_texts[index + 1].bytes : m_bytes.size();
        text.chars = static_cast<std::uint32_t>(m_chars.size());
        Collation::AppendDecoded(std::string_view(m_bytes).substr(text.bytes, end - text.bytes),
                                 m_chars);
        text.charsEnd = static_cast<std::uint32_t>(m_chars.size());
        text.prefix = m_collation->KeyPrefixOfDecoded(
            std::u16string_view(m_chars.data() + text.chars, text.charsEnd - text.chars));
        text.decoded = true;
    }
    return text;
}

int CollationTexts::compare(std::uint32_t a, std::uint32_t b) const
{
    // Weights are never 0: where the leads first differ in a byte that both texts have, their
    // weights differ there too and decide.
    if (const std::uint64_t differ = m_leads[a] ^ m_leads[b]; differ != 0) {
        const int shift = 56 - (std::countl_zero(differ) & ~7);
        if (((m_leads[a] >> shift) & 0xFF) != 0 && ((m_leads[b] >> shift) & 0xFF) != 0)
            return m_leads[a] < m_leads[b] ? -1 : 1;
    }
    const std::string_view weights(m_weights);
    const Text& ta = m_texts[a];
    const Text& tb = m_texts[b];
    const std::size_t la = ta.weightsEnd - ta.weights;
    const std::size_t lb = tb.weightsEnd - tb.weights;
    const int c =
        weights.substr(ta.weights, la)
            .compare(0, std::min(la, lb), weights.substr(tb.weights, lb), 0, std::min(la, lb));
    if (c != 0)
        return (c > 0) - (c < 0);
    if (!m_collation->hasCollator()) // fallback keys
        return (la > lb) - (la < lb);
    // The weights agree as far as the shorter goes: a whole text's first level that ends there
    // comes first; two ASCII texts that end together collate equal.
    if (la < lb && ta.complete)
        return -1;
    if (lb < la && tb.complete)
        return 1;
    if (la == lb && ta.ascii && tb.ascii)
        return 0;
    const Text& da = decoded(a);
    const Text& db = decoded(b);
    if (da.prefix != db.prefix)
        return da.prefix < db.prefix ? -1 : 1;
    return m_collation->CompareDecoded(
        std::u16string_view(m_chars.data() + da.chars, da.charsEnd - da.chars),
        std::u16string_view(m_chars.data() + db.chars, db.charsEnd - db.chars));
}

} // namespace quillon
