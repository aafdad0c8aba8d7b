#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillon {

// File names are bytes. Text that is shown, cut or escaped is read as UTF-8 one code point at
// a time; a byte that does not start a valid sequence counts as one character of its own.

/// One decoded character: its code point (or kInvalidCodePoint) and how many bytes it takes.
struct Utf8Char {
    char32_t codePoint;
    std::size_t length;
};

inline constexpr char32_t kInvalidCodePoint = 0xFFFFFFFF;

/// Decodes the character that starts at text[pos] (pos < text.size()).
Utf8Char DecodeUtf8At(std::string_view text, std::size_t pos);

/// Number of characters in text.
std::size_t Utf8Length(std::string_view text);

/// The first n characters of text.
std::string_view Utf8Left(std::string_view text, std::size_t n);

/// Appends the UTF-8 form of a code point.
void AppendUtf8(std::string& out, char32_t codePoint);

/// How many bytes from the start of text a JSON string holds as they are (no quote, backslash
/// or control character); with ascii, bytes of 0x80 and above end the run too. Read a word at
/// a time, as listings are mostly such runs.
std::size_t JsonPlainLength(std::string_view text, bool ascii);

} // namespace quillon
