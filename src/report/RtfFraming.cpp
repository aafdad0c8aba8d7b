#include "report/RtfFraming.h"

#include "platform/Cp1252.h"

#include "platform/CommandError.h"
#include "platform/Utf8.h"

#include <QLocale>
#include <array>
#include <cmath>
#include <unicode/uchar.h>

namespace quillon {

namespace {

constexpr char32_t kRightGuillemet = 0xBB;
constexpr char32_t kCedilla = 0xB8;

/// The characters kept as they are; a lower-case ASCII letter counts because its upper-case
/// form is in the set. Only the two Latin-1 signs above 0x7F survive, so the result stays
/// within Windows-1252 without \' escapes.
constexpr std::array<bool, 128> MakeKeptAscii()
{
    std::array<bool, 128> kept{};
    for (char c = 'A'; c <= 'Z'; ++c)
        kept[static_cast<unsigned char>(c)] = kept[static_cast<unsigned char>(c - 'A' + 'a')] =
            true;
    for (char c = '0'; c <= '9'; ++c)
        kept[static_cast<unsigned char>(c)] = true;
    for (char c : std::string_view(" :/,.-_()#~!+'&;=[]@%$|"))
        kept[static_cast<unsigned char>(c)] = true;
    return kept;
}

constexpr std::array<bool, 128> kKeptAscii = MakeKeptAscii();

char Windows1252Byte(char32_t cp)
{
    const int byte = UnicodeToCp1252(cp);
    return byte < 0 ? '?' : static_cast<char>(byte);
}

void ApplyCase(char* begin, char* end, const ReportSettings& settings)
{
    if (settings.ListInLower) {
        for (char* c = begin; c != end; ++c)
            if (*c >= 'A' && *c <= 'Z')
                *c = static_cast<char>(*c - 'A' + 'a');
    } else if (settings.ListInUpper) {
        for (char* c = begin; c != end; ++c)
            if (*c >= 'a' && *c <= 'z')
                *c = static_cast<char>(*c - 'a' + 'A');
    }
}

/// The font size in points; a text that is no number is a type mismatch (error 13), as every
/// number conversion of the program reports it.
double ParseFontSize(const QString& text)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    double size = QLocale::c().toDouble(trimmed, &ok);
    if (!ok)
        size = QLocale().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(size))
        throw CommandError::typeMismatch();
    return size;
}

} // namespace

QString SafeFontName(const QString& name)
{
    QString safe;
    safe.reserve(name.size());
    for (const QChar c : name) {
        switch (c.unicode()) {
        case u'{':
        case u'}':
        case u'\\':
        case u';':
        case u'<':
        case u'>':
        case u'"':
        case u'\'':
            continue;
        default:
            if (c.category() == QChar::Other_Control)
                continue;
            safe.append(c);
        }
    }
    return safe;
}

std::string ToWindows1252(QStringView text)
{
    std::string bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i; // one character outside the code page
            bytes.push_back('?');
            continue;
        }
        bytes.push_back(c.isSurrogate() ? '?' : Windows1252Byte(c.unicode()));
    }
    return bytes;
}

std::string RtfHeader(const ReportFont& font)
{
    const double size = ParseFontSize(font.sizeText);
    const double halfPoints = std::trunc(size * 2);
    // \fs takes a positive 16-bit count; anything else would make the document unreadable.
    if (halfPoints < 1 || halfPoints > 32767)
        throw CommandError::overflow();

    // The colour is 0x00BBGGRR; the top byte is never part of the blue value.
    const quint32 c = font.colour;
    const auto number = [](quint32 v) { return std::to_string(v); };

    std::string header = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033"
                         "{\\fonttbl{\\f0\\fmodern\\fprq1\\fcharset0 ";
    header += ToWindows1252(SafeFontName(font.name));
    header += ";}{\\f1\\fswiss\\fcharset0 Arial;}}{\\colortbl;\\red";
    header += number(c & 255);
    header += "\\green";
    header += number((c >> 8) & 255);
    header += "\\blue";
    header += number((c >> 16) & 255);
    header += ";}\\viewkind4\\uc1\\pard\\li180\\cf1\\f0\\fs";
    header += std::to_string(static_cast<int>(halfPoints));
    header += "\\par ";
    return header;
}

void AppendRtfUnicode(std::string& out, char32_t cp)
{
    // RTF counts UTF-16 units as signed 16-bit numbers; beyond the BMP a surrogate pair.
    const auto unit = [&](unsigned value) {
        out.append("\\u");
        out.append(std::to_string(value > 32767 ? static_cast<int>(value) - 65536
                                                : static_cast<int>(value)));
        out.push_back('?');
    };
    if (cp >= 0x10000) {
        unit(0xD800 + ((cp - 0x10000) >> 10));
        unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
        unit(static_cast<unsigned>(cp));
    }
}

namespace {

// The characters that steer the direction of the text around them (embeddings, overrides,
// isolates and marks). In a name they could reverse the rest of the line ("txt.exe" shown
// for "exe.txt"), so a report shows each as a visible sign instead.
bool IsBidiControl(char32_t cp)
{
    return (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069) || cp == 0x200E ||
           cp == 0x200F || cp == 0x061C;
}

// Shown for a direction control: one character, so the columns after the name stay aligned.
constexpr char32_t kShownBidiControl = 0xFFFD;

// Letters written right to left, and Arabic digits, which draw the blanks and numbers after
// them into their own right-to-left run.
bool IsRightToLeft(char32_t cp)
{
    switch (u_charDirection(static_cast<UChar32>(cp))) {
    case U_RIGHT_TO_LEFT:
    case U_RIGHT_TO_LEFT_ARABIC:
    case U_ARABIC_NUMBER:
        return true;
    default:
        return false;
    }
}

// The "Keep every character of names" form: what the safe set lacks is written as \u with a
// "?" for readers without Unicode; control characters and invalid bytes still become blanks.
// Right-to-left text is closed by a left-to-right mark (RightToLeftRuns).
void AppendRtfKeptText(std::string& out, std::string_view utf8, const ReportSettings& settings)
{
    RightToLeftRuns runs;
    for (std::size_t pos = 0; pos < utf8.size();) {
        const Utf8Char decoded = DecodeUtf8At(utf8, pos);
        pos += decoded.length;
        char32_t cp = decoded.codePoint;
        if (runs.closesBefore(cp, utf8.substr(pos)))
            AppendRtfUnicode(out, kLeftToRightMark);
        // The line and paragraph separators would break the report's line in two.
        if (cp == kInvalidCodePoint || cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0) ||
            cp == 0x2028 || cp == 0x2029) {
            out.push_back(' ');
            continue;
        }
        if (IsBidiControl(cp)) {
            AppendRtfUnicode(out, kShownBidiControl);
            continue;
        }
        runs.wrote(cp);
        if (settings.ListInLower)
            cp = static_cast<char32_t>(u_tolower(static_cast<UChar32>(cp)));
        else if (settings.ListInUpper)
            cp = static_cast<char32_t>(u_toupper(static_cast<UChar32>(cp)));
        if (cp == '{' || cp == '}' || cp == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(cp));
        } else if ((cp < 0x80 && kKeptAscii[cp]) || cp == kRightGuillemet || cp == kCedilla) {
            out.push_back(static_cast<char>(cp));
        } else {
            AppendRtfUnicode(out, cp);
        }
    }
    if (runs.open())
        AppendRtfUnicode(out, kLeftToRightMark);
}

} // namespace

bool RightToLeftRuns::closesBefore(char32_t cp, std::string_view rest)
{
    if (!m_open || IsRightToLeft(cp))
        return false;
    if (cp == ' ' && !rest.empty() && IsRightToLeft(DecodeUtf8At(rest, 0).codePoint))
        return false;
    m_open = false;
    return true;
}

void RightToLeftRuns::wrote(char32_t cp)
{
    m_open = m_open || IsRightToLeft(cp);
}

void AppendRtfSafeText(std::string& out, std::string_view utf8, const ReportSettings& settings)
{
    if (settings.KeepAllCharacters) {
        AppendRtfKeptText(out, utf8, settings);
        return;
    }
    // Each input byte gives at most two output bytes; write in place, then trim.
    const std::size_t start = out.size();
    out.resize(start + 2 * utf8.size());
    char* const begin = out.data() + start;
    char* next = begin;
    for (std::size_t pos = 0; pos < utf8.size();) {
        const unsigned char byte = static_cast<unsigned char>(utf8[pos]);
        if (byte < 0x80) {
            ++pos;
            if (kKeptAscii[byte]) {
                *next++ = static_cast<char>(byte);
            } else if (byte == '{' || byte == '}' || byte == '\\') {
                *next++ = '\\';
                *next++ = static_cast<char>(byte);
            } else {
                *next++ = ' ';
            }
            continue;
        }
        const Utf8Char decoded = DecodeUtf8At(utf8, pos);
        pos += decoded.length;
        const bool kept = decoded.codePoint == kRightGuillemet || decoded.codePoint == kCedilla;
        *next++ = kept ? static_cast<char>(decoded.codePoint) : ' ';
    }
    ApplyCase(begin, next, settings);
    out.resize(static_cast<std::size_t>(next - out.data()));
}

std::string RtfSafeText(std::string_view utf8, const ReportSettings& settings)
{
    std::string out;
    out.reserve(utf8.size() + 8);
    AppendRtfSafeText(out, utf8, settings);
    return out;
}

std::string RtfSafeText(const QString& text, const ReportSettings& settings)
{
    const QByteArray utf8 = text.toUtf8();
    return RtfSafeText(std::string_view(utf8.constData(), utf8.size()), settings);
}

std::string DashLine(int n)
{
    return n > 0 ? std::string(static_cast<std::size_t>(n), '-') : std::string();
}

std::string TreeIndent(int level)
{
    std::string indent;
    if (level <= 1)
        return indent;
    indent.reserve(static_cast<std::size_t>(level - 1) * 3);
    for (int i = 1; i < level; ++i)
        indent += "|  ";
    return indent;
}

} // namespace quillon
