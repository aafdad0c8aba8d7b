#pragma once

#include "report/ReportFont.h"
#include "report/ReportSettings.h"

#include <QString>
#include <string>
#include <string_view>

namespace quillon {

// The rich-text pieces every layout shares. Their results are the bytes of the staging file:
// single-byte Windows-1252 text that after escaping holds only ASCII, "»" (0xBB) and "¸" (0xB8).

/// The font name without the characters that could end or open markup in the RTF font table
/// or an HTML style sheet: "{", "}", "\", ";", "<", ">", '"' and "'". Control characters go too.
QString SafeFontName(const QString& name);

/// Encodes text as Windows-1252; characters that code page lacks become "?".
std::string ToWindows1252(QStringView text);

/// The document header: font table with the (sanitised) font name, colour table with the
/// text colour, and the opening paragraph in that font and size. It opens the document group;
/// the layout's closing line closes it. Throws CommandError 13 "Type mismatch" when the size
/// text is not a number and 6 "Overflow" when twice the size is not a usable half-point count.
std::string RtfHeader(const ReportFont& font);

/// Escapes UTF-8 text (file names are bytes) for the report: letters, digits, the blank and
/// the signs :/,.-_()#~!+'&;=[]»@%¸$| are kept, "{", "}" and "\" get a backslash, every other
/// character (each invalid byte counted as one) becomes one blank. Then the case option of the
/// settings applies: ListInLower lower-cases, otherwise ListInUpper upper-cases.
/// With KeepAllCharacters every other character is kept instead, as \uN? (case applied to it
/// too); only control characters, U+2028, U+2029 and invalid bytes still become blanks. There
/// a character that steers the text's direction (U+202A-202E, U+2066-2069, U+200E, U+200F,
/// U+061C) is shown as U+FFFD, and right-to-left text is closed by a left-to-right mark
/// (U+200E), so the line keeps its columns in order.
std::string RtfSafeText(std::string_view utf8, const ReportSettings& settings);

/// Where a run of right-to-left text (Hebrew or Arabic letters, Arabic digits) ends in a line,
/// so that a left-to-right mark (U+200E) can close it there: otherwise the blanks and numbers
/// of the columns after it would join its run and be laid out in front of it. A blank followed
/// by more right-to-left text continues the run, as between the words of a name.
class RightToLeftRuns {
public:
    /// True when a mark goes before cp, the next character to be written; rest is the text
    /// after it. The run is then closed.
    bool closesBefore(char32_t cp, std::string_view rest);
    /// Notes that cp was written as itself.
    void wrote(char32_t cp);
    /// True when a mark goes at the end of the text.
    bool open() const { return m_open; }

private:
    bool m_open = false;
};

/// The left-to-right mark that closes a right-to-left run.
inline constexpr char32_t kLeftToRightMark = 0x200E;

/// The same for text held as a QString (detail columns).
std::string RtfSafeText(const QString& text, const ReportSettings& settings);

/// A literal is UTF-8 bytes too (without this, the two forms above would both fit).
inline std::string RtfSafeText(const char* utf8, const ReportSettings& settings)
{
    return RtfSafeText(std::string_view(utf8), settings);
}

/// Appends the escaped text to out, avoiding a temporary for each line of a long report.
void AppendRtfSafeText(std::string& out, std::string_view utf8, const ReportSettings& settings);

/// Appends a character as RTF's \uN escape with "?" for readers without Unicode (two escapes
/// for a character beyond U+FFFF).
void AppendRtfUnicode(std::string& out, char32_t cp);

/// n dashes; empty for n of zero or less.
std::string DashLine(int n);

/// The bars of the enclosing tree levels: "|  " repeated level - 1 times; empty for 1 or less.
std::string TreeIndent(int level);

} // namespace quillon
