#include "scan/Collation.h"

#include "platform/Utf8.h"

#include <unicode/ucol.h>
#include <unicode/uloc.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
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
      m_localeName(std::move(other.m_localeName))
{}

Collation& Collation::operator=(Collation&& other) noexcept
{
    if (this != &other) {
        if (m_collator)
            ucol_close(m_collator);
        m_collator = std::exchange(other.m_collator, nullptr);
        m_localeName = std::move(other.m_localeName);
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

void Collation::AppendDecoded(std::string_view utf8, std::vector<char16_t>& out)
{
    AppendUtf16(utf8, out);
}

bool Collation::comparesAccentsBackwards() const
{
    if (!m_collator)
        return false;
    UErrorCode status = U_ZERO_ERROR;
    return ucol_getAttribute(m_collator, UCOL_FRENCH_COLLATION, &status) == UCOL_ON &&
           U_SUCCESS(status);
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
    m_chars.clear();
    m_keys.clear();
    m_offsets.assign(1, 0);
}

std::uint32_t CollationTexts::add(std::string_view utf8)
{
    if (m_collation->hasCollator()) {
        Collation::AppendDecoded(utf8, m_chars);
        m_offsets.push_back(m_chars.size());
    } else {
        m_collation->AppendSortKey(utf8, m_keys);
        m_offsets.push_back(m_keys.size());
    }
    return static_cast<std::uint32_t>(m_offsets.size() - 2);
}

std::u16string_view CollationTexts::text(std::uint32_t index) const
{
    return std::u16string_view(m_chars.data() + m_offsets[index],
                               m_offsets[index + 1] - m_offsets[index]);
}

int CollationTexts::compare(std::uint32_t a, std::uint32_t b) const
{
    if (m_collation->hasCollator())
        return m_collation->CompareDecoded(text(a), text(b));
    const std::string_view keys(m_keys);
    return Collation::CompareKeys(keys.substr(m_offsets[a], m_offsets[a + 1] - m_offsets[a]),
                                  keys.substr(m_offsets[b], m_offsets[b + 1] - m_offsets[b]));
}

} // namespace quillon
