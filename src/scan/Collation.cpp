#include "scan/Collation.h"

#include "platform/Utf8.h"

#include <unicode/ucol.h>
#include <unicode/uiter.h>
#include <unicode/uloc.h>
#include <unicode/uset.h>

#include <algorithm>
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
      m_asciiWeight(other.m_asciiWeight)
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
    UErrorCode status = U_ZERO_ERROR;
    // A contraction, context rule or expansion among ASCII characters breaks the
    // character-by-character order.
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
    }
    for (UChar32 c = 0; plain && c < 0x80; ++c)
        plain = !uset_contains(expansions, c);
    uset_close(contractions);
    uset_close(expansions);
    if (!plain)
        return;

    // Rank the characters; equal ones share a weight, ignorable ones get 0.
    const UChar nothing = 0;
    std::array<UChar, 128> chars{};
    for (int c = 0; c < 128; ++c)
        chars[static_cast<std::size_t>(c)] = static_cast<UChar>(c);
    std::array<UChar, 128> order = chars;
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
    // Characters that differ only at the second level would be ordered by their first
    // difference instead of after every first-level weight: then no shortcut.
    ucol_setStrength(m_collator, UCOL_PRIMARY);
    bool single = true;
    for (std::size_t i = 1; single && i < order.size(); ++i) {
        const UChar a = order[i - 1];
        const UChar b = order[i];
        if (m_asciiWeight[a] != 0 && m_asciiWeight[a] != m_asciiWeight[b])
            single = coll(a, b) != UCOL_EQUAL;
    }
    ucol_setStrength(m_collator, UCOL_SECONDARY);
    m_asciiWeights = single;
}

bool Collation::AppendAsciiWeights(std::string_view utf8, std::string& out) const
{
    if (!m_asciiWeights)
        return false;
    const std::size_t start = out.size();
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x80) {
            out.resize(start);
            return false;
        }
        if (const std::uint8_t w = m_asciiWeight[c])
            out.push_back(static_cast<char>(w));
    }
    return true;
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

namespace {
constexpr std::size_t kNoWeights = static_cast<std::size_t>(-1);
constexpr std::size_t kNotDecoded = static_cast<std::size_t>(-1);
} // namespace

void CollationTexts::clear()
{
    m_weights.clear();
    m_weightStart.clear();
    m_weightEnd.clear();
    m_ascii.clear();
    m_asciiStart.clear();
    m_chars.clear();
    m_charStart.clear();
    m_charEnd.clear();
    m_prefix.clear();
    m_keys.clear();
    m_keyEnd.clear();
}

std::uint32_t CollationTexts::add(std::string_view utf8)
{
    const auto index = static_cast<std::uint32_t>(m_weightStart.size());
    if (!m_collation->hasCollator()) {
        m_collation->AppendSortKey(utf8, m_keys);
        m_keyEnd.push_back(m_keys.size());
        m_weightStart.push_back(kNoWeights);
        return index;
    }
    const std::size_t before = m_weights.size();
    const bool weighed = m_collation->AppendAsciiWeights(utf8, m_weights);
    m_weightStart.push_back(weighed ? before : kNoWeights);
    m_weightEnd.push_back(m_weights.size());
    m_asciiStart.push_back(m_ascii.size());
    m_charStart.push_back(kNotDecoded);
    m_charEnd.push_back(kNotDecoded);
    m_prefix.emplace_back();
    if (weighed) {
        m_ascii.append(utf8);
    } else {
        m_charStart.back() = m_chars.size();
        Collation::AppendDecoded(utf8, m_chars);
        m_charEnd.back() = m_chars.size();
        m_prefix.back() = m_collation->KeyPrefixOfDecoded(std::u16string_view(
            m_chars.data() + m_charStart.back(), m_charEnd.back() - m_charStart.back()));
    }
    return index;
}

void CollationTexts::decode(std::uint32_t index) const
{
    if (m_charStart[index] != kNotDecoded)
        return;
    const std::size_t begin = m_asciiStart[index];
    const std::size_t end =
        index + 1 < m_asciiStart.size() ? m_asciiStart[index + 1] : m_ascii.size();
    m_charStart[index] = m_chars.size();
    m_chars.insert(m_chars.end(), m_ascii.begin() + static_cast<std::ptrdiff_t>(begin),
                   m_ascii.begin() + static_cast<std::ptrdiff_t>(end));
    m_charEnd[index] = m_chars.size();
    m_prefix[index] = m_collation->KeyPrefixOfDecoded(
        std::u16string_view(m_chars.data() + m_charStart[index], end - begin));
}

int CollationTexts::compare(std::uint32_t a, std::uint32_t b) const
{
    const std::size_t wa = m_weightStart[a];
    const std::size_t wb = m_weightStart[b];
    if (wa != kNoWeights && wb != kNoWeights) {
        const std::string_view weights(m_weights);
        const int c = weights.substr(wa, m_weightEnd[a] - wa)
                          .compare(weights.substr(wb, m_weightEnd[b] - wb));
        return (c > 0) - (c < 0);
    }
    if (!m_collation->hasCollator()) {
        const std::string_view keys(m_keys);
        const std::size_t sa = a == 0 ? 0 : m_keyEnd[a - 1];
        const std::size_t sb = b == 0 ? 0 : m_keyEnd[b - 1];
        return Collation::CompareKeys(keys.substr(sa, m_keyEnd[a] - sa),
                                      keys.substr(sb, m_keyEnd[b] - sb));
    }
    decode(a);
    decode(b);
    if (m_prefix[a] != m_prefix[b])
        return m_prefix[a] < m_prefix[b] ? -1 : 1;
    return m_collation->CompareDecoded(
        std::u16string_view(m_chars.data() + m_charStart[a], m_charEnd[a] - m_charStart[a]),
        std::u16string_view(m_chars.data() + m_charStart[b], m_charEnd[b] - m_charStart[b]));
}

} // namespace quillon
