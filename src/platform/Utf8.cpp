#include "platform/Utf8.h"

#include <cstdint>
#include <cstring>

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

} // namespace quillon
