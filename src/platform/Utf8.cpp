#include "platform/Utf8.h"

#include <bit>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillon {

Utf8Char DecodeUtf8At(std::string_view text, std::size_t pos)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80)
        return {lead, 1};

    std::size_t length;
    char32_t cp;
    char32_t minimum;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, cp = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, cp = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, cp = lead & 0x07, minimum = 0x10000;
    } else {
        return {kInvalidCodePoint, 1};
    }
    if (pos + length > text.size())
        return {kInvalidCodePoint, 1};
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = byte(pos + i);
        if ((next & 0xC0) != 0x80)
            return {kInvalidCodePoint, 1};
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return {kInvalidCodePoint, 1};
    return {cp, length};
}

// Both below run on every line of a report: an ASCII byte, most of any name, is one character
// and needs no decoding.
std::size_t Utf8Length(std::string_view text)
{
    std::size_t count = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        // Eight ASCII bytes at a time.
        std::uint64_t word;
        if (text.size() - pos >= sizeof word) {
            std::memcpy(&word, text.data() + pos, sizeof word);
            if ((word & 0x8080808080808080u) == 0) {
                pos += sizeof word;
                count += sizeof word;
                continue;
            }
        }
        pos += static_cast<unsigned char>(text[pos]) < 0x80 ? 1 : DecodeUtf8At(text, pos).length;
        ++count;
    }
    return count;
}

std::string_view Utf8Left(std::string_view text, std::size_t n)
{
    std::size_t pos = 0;
    for (std::size_t taken = 0; taken < n && pos < text.size(); ++taken)
        pos += static_cast<unsigned char>(text[pos]) < 0x80 ? 1 : DecodeUtf8At(text, pos).length;
    return text.substr(0, pos);
}

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::size_t JsonPlainLength(std::string_view text, bool ascii)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101, kHighs = kOnes * 0x80;
    const std::uint64_t high = ascii ? kHighs : 0;
    std::size_t pos = 0;
#if defined(__SSE2__)
    // Sixteen bytes at a time where the instructions are there (any x86-64).
    const __m128i quote16 = _mm_set1_epi8('"'), slash16 = _mm_set1_epi8('\\');
    const __m128i control16 = _mm_set1_epi8(0x1f);
    for (; pos + 16 <= text.size(); pos += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + pos));
        const __m128i stops =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, quote16), _mm_cmpeq_epi8(v, slash16)),
                         _mm_cmpeq_epi8(_mm_min_epu8(v, control16), v));
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(stops)) |
                              (ascii ? static_cast<unsigned>(_mm_movemask_epi8(v)) : 0u);
        if (mask != 0)
            return pos + static_cast<std::size_t>(std::countr_zero(mask));
    }
#endif
    // A byte that ends the run (zero after the xor, or below 0x20) has its high bit set in
    // stops; bytes after it may show one too, never bytes before it, so in memory order (little
    // endian) the lowest one is the place.
    for (; pos + 8 <= text.size(); pos += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + pos, 8);
        const std::uint64_t quote = word ^ (kOnes * '"');
        const std::uint64_t slash = word ^ (kOnes * '\\');
        const std::uint64_t stops = ((word & high) | ((quote - kOnes) & ~quote) |
                                     ((slash - kOnes) & ~slash) | ((word - kOnes * 0x20) & ~word)) &
                                    kHighs;
        if (stops == 0)
            continue;
        if constexpr (std::endian::native == std::endian::little)
            return pos + static_cast<std::size_t>(std::countr_zero(stops)) / 8;
        break;
    }
    for (; pos < text.size(); ++pos) {
        const auto b = static_cast<unsigned char>(text[pos]);
        if (b < 0x20 || b == '"' || b == '\\' || (ascii && b >= 0x80))
            break;
    }
    return pos;
}

} // namespace quillon
