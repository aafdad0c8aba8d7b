#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace quillon {

// Windows-1252, the code page of rich-text files written for the ANSI code page 1252. The five
// bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of
// the same number, as Windows does, so every byte decodes and encodes back to itself.

/// The Unicode character of one code-page byte.
char16_t Cp1252ToUnicode(unsigned char byte);

/// The code-page byte of a Unicode character, or -1 when the code page has no such character.
int UnicodeToCp1252(char32_t codePoint);

/// Decodes a whole byte string.
QString DecodeCp1252(QByteArrayView bytes);

/// Encodes text; a character the code page lacks becomes the replacement byte (a surrogate pair
/// counts as one character).
QByteArray EncodeCp1252(QStringView text, char replacement = '?');

} // namespace quillon
