#include "listing/ComparisonOutput.h"

#include "listing/ListingWriter.h"
#include "output/SaveFormat.h"
#include "platform/CheckedSave.h"
#include "platform/CommandError.h"
#include "platform/Utf8.h"
#include "report/RtfFraming.h"
#include "report/StagingFile.h"

#include <QChar>
#include <QSaveFile>
#include <algorithm>

namespace quillon {

namespace {

constexpr std::string_view kArrow = "\xE2\x86\x92"; // →
constexpr std::size_t kChunk = 1 << 16;

void AppendHex(std::string& out, std::string_view prefix, char32_t value, int digits)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    out.append(prefix);
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out.push_back(kDigits[(value >> shift) & 0xF]);
}

std::string Shown(const CompareItem& item)
{
    std::string text = VisibleText(item.path);
    if (item.kind == EntryKind::Folder)
        text.push_back('/');
    return text;
}

std::string TimeText(const CompareItem& item)
{
    return item.timeKnown ? IsoTime(item.modified, item.utcOffset) : std::string("unknown");
}

std::string Changes(const Difference& d)
{
    std::string text;
    const auto add = [&](std::string_view what, const std::string& from, const std::string& to) {
        text.append(text.empty() ? "" : ", ").append(what).append(" ").append(from);
        text.append(" ").append(kArrow).append(" ").append(to);
    };
    if (d.kindChanged)
        add("kind", std::string(EntryKindText(d.old.kind)), std::string(EntryKindText(d.now.kind)));
    if (d.sizeChanged)
        add("size", std::to_string(d.old.size), std::to_string(d.now.size));
    if (d.timeChanged)
        add("last change", TimeText(d.old), TimeText(d.now));
    if (d.crcChanged)
        add("CRC32", CrcText(d.old.crc), CrcText(d.now.crc));
    return text;
}

std::string UnreadableText(const Unreadable& u)
{
    std::string text = "cannot read the " + u.what.toStdString() + " " +
                       (u.what == QLatin1String("checksum") ? "of " : "") + VisibleText(u.path);
    if (!u.reason.isEmpty())
        text.append(": ").append(u.reason.toStdString());
    return text;
}

// The report's lines, made as the comparison is written and handed on one at a time.
class LineSink : public CompareSink {
public:
    explicit LineSink(std::function<bool(const CompareLine&)> emit) : m_emit(std::move(emit)) {}

    bool begin(const CompareSummary& s) override
    {
        m_summary = s;
        if (!put("Comparison of " + VisibleText(s.labelA), true) ||
            !put("          with " + VisibleText(s.labelB), true))
            return false;
        if (!s.files && !put("Folders only: a side is a folder list, which holds no files."))
            return false;
        if (!s.folders && !put("Files only: a side is a List In Details listing, which holds no "
                               "folders."))
            return false;
        if (!put({}))
            return false;
        if (!s.complete())
            return put("Could not be read (" + std::to_string(s.unreadable) + ")", true);
        return true;
    }
    bool unreadable(const Unreadable& u) override { return put("   " + UnreadableText(u)); }
    bool section(ChangeKind kind, std::size_t count) override
    {
        static constexpr std::string_view kTitles[] = {"Added", "Removed", "Changed",
                                                       "Moved or renamed"};
        if ((kind != ChangeKind::Added || !m_summary.complete()) && !put({}))
            return false;
        return put(std::string(kTitles[static_cast<int>(kind)]) + " (" + std::to_string(count) +
                       ")",
                   true);
    }
    bool difference(ChangeKind kind, const Difference& d) override
    {
        switch (kind) {
        case ChangeKind::Added:
            return put("   " + Shown(d.now));
        case ChangeKind::Removed:
            return put("   " + Shown(d.old));
        case ChangeKind::Changed:
            return put("   " + Shown(d.now) + ": " + Changes(d));
        case ChangeKind::Moved:
            return put("   " + Shown(d.old) + " " + std::string(kArrow) + " " + Shown(d.now));
        }
        return true;
    }
    bool end() override
    {
        const CompareSummary& s = m_summary;
        const std::string totals =
            std::to_string(s.entriesA) + " entries against " + std::to_string(s.entriesB) + ".";
        const std::string counts = std::to_string(s.added) + " added, " +
                                   std::to_string(s.removed) + " removed, " +
                                   std::to_string(s.changed) + " changed, " +
                                   std::to_string(s.moved) + " moved or renamed; " + totals;
        if (!put({}))
            return false;
        if (!s.complete())
            return put("Incomplete: " + std::to_string(s.unreadable) + " could not be read; " +
                           (s.same() ? "no differences in what was read; " + totals : counts),
                       true);
        return put(s.same() ? "No differences; " + totals : counts, true);
    }

private:
    bool put(std::string text, bool bold = false) { return m_emit({std::move(text), bold}); }

    std::function<bool(const CompareLine&)> m_emit;
    CompareSummary m_summary;
};

// Rich text of one line: ASCII as it is, "{", "}" and "\" escaped, every other character as
// \u with "?" for readers that lack it.
std::string RtfLine(const CompareLine& line)
{
    std::string out = line.bold ? "\\b " : "";
    for (std::size_t pos = 0; pos < line.text.size();) {
        const Utf8Char c = DecodeUtf8At(line.text, pos);
        pos += c.length;
        const char32_t cp = c.codePoint == kInvalidCodePoint ? 0xFFFD : c.codePoint;
        if (cp == '{' || cp == '}' || cp == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(cp));
        } else if (cp >= 0x20 && cp < 0x7F) {
            out.push_back(static_cast<char>(cp));
        } else if (cp >= 0xA0) {
            AppendRtfUnicode(out, cp);
        } else {
            out.push_back(' ');
        }
    }
    out.append(line.bold ? "\\b0\\par " : "\\par ");
    return out;
}

std::string HtmlEscaped(std::string_view text, bool blanks)
{
    std::string out;
    for (const char c : text) {
        if (c == '&')
            out.append("&amp;");
        else if (c == '<')
            out.append("&lt;");
        else if (c == '>')
            out.append("&gt;");
        else if (c == ' ' && blanks)
            out.append("&nbsp;");
        else
            out.push_back(c);
    }
    return out;
}

// Writes to a device in large pieces, remembering the first failure.
class Chunks {
public:
    explicit Chunks(QIODevice& out) : m_out(out) {}
    std::string& text() { return m_text; }
    bool flush(bool always = false)
    {
        if (m_failed || (!always && m_text.size() < kChunk))
            return !m_failed;
        m_failed = m_out.write(m_text.data(), static_cast<qint64>(m_text.size())) !=
                   static_cast<qint64>(m_text.size());
        m_text.clear();
        return !m_failed;
    }

private:
    QIODevice& m_out;
    std::string m_text;
    bool m_failed = false;
};

std::string HtmlHead(const ReportFont& font)
{
    // The font name goes into the style sheet quoted, as CSS wants it, never as HTML text.
    std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
                       "<title>Quillon comparison</title>\n<style>body { font-family: \"";
    page.append(HtmlEscaped(SafeFontName(font.name).toStdString(), false));
    page.append("\"; font-size: ");
    page.append(HtmlEscaped(SafeFontName(font.sizeText).toStdString(), false));
    page.append("pt; white-space: nowrap }</style></head><body>\n");
    return page;
}

void AppendHtmlLine(std::string& page, const CompareLine& line)
{
    const std::string text = HtmlEscaped(ValidUtf8(line.text), true);
    page.append(line.bold ? "<b>" + text + "</b>" : text).append("<br>\n");
}

std::string_view ChangeName(ChangeKind kind)
{
    static constexpr std::string_view kNames[] = {"added", "removed", "changed", "moved"};
    return kNames[static_cast<int>(kind)];
}

class CsvSink : public CompareSink {
public:
    explicit CsvSink(QIODevice& out) : m_out(out) {}
    bool begin(const CompareSummary&) override
    {
        m_out.text() = "change,path,old_path,kind,old_size,new_size,old_modified,new_modified,"
                       "old_crc32,new_crc32,pathHex,old_pathHex\r\n";
        return m_out.flush();
    }
    bool unreadable(const Unreadable& u) override
    {
        std::string& text = m_out.text();
        AppendCsvField(text, "unreadable", true);
        AppendCsvField(text, u.path);
        AppendCsvField(text, "");
        AppendCsvField(text, u.what.toStdString());
        for (int k = 0; k < 6; ++k)
            AppendCsvField(text, "");
        AppendCsvField(text, IsValidUtf8(u.path) ? std::string() : HexBytes(u.path));
        AppendCsvField(text, "");
        text.append("\r\n");
        return m_out.flush();
    }
    bool section(ChangeKind, std::size_t) override { return true; }
    bool difference(ChangeKind kind, const Difference& d) override
    {
        std::string& text = m_out.text();
        const bool hasOld = kind != ChangeKind::Added;
        const bool hasNew = kind != ChangeKind::Removed;
        const CompareItem& main = hasNew ? d.now : d.old;
        const std::string& oldPath = kind == ChangeKind::Moved ? d.old.path : std::string();
        AppendCsvField(text, ChangeName(kind), true);
        AppendCsvField(text, main.path);
        AppendCsvField(text, oldPath);
        AppendCsvField(text, EntryKindText(main.kind));
        AppendCsvField(text,
                       hasOld && d.old.sizeKnown ? std::to_string(d.old.size) : std::string());
        AppendCsvField(text,
                       hasNew && d.now.sizeKnown ? std::to_string(d.now.size) : std::string());
        AppendCsvField(text, hasOld && d.old.timeKnown ? TimeText(d.old) : std::string());
        AppendCsvField(text, hasNew && d.now.timeKnown ? TimeText(d.now) : std::string());
        AppendCsvField(text, hasOld && d.old.crcKnown ? CrcText(d.old.crc) : std::string());
        AppendCsvField(text, hasNew && d.now.crcKnown ? CrcText(d.now.crc) : std::string());
        AppendCsvField(text, IsValidUtf8(main.path) ? std::string() : HexBytes(main.path));
        AppendCsvField(text, IsValidUtf8(oldPath) ? std::string() : HexBytes(oldPath));
        text.append("\r\n");
        return m_out.flush();
    }
    bool end() override { return m_out.flush(true); }

private:
    Chunks m_out;
};

void JsonItem(std::string& o, const CompareItem& item)
{
    o.append("{\"path\": ");
    AppendJsonString(o, item.path);
    if (!IsValidUtf8(item.path))
        o.append(", \"pathHex\": \"").append(HexBytes(item.path)).append("\"");
    o.append(", \"kind\": \"").append(EntryKindText(item.kind)).append("\", \"size\": ");
    o.append(item.sizeKnown ? std::to_string(item.size) : std::string("null"))
        .append(", \"modified\": ");
    if (item.timeKnown)
        AppendJsonString(o, TimeText(item));
    else
        o.append("null");
    o.append(", \"crc32\": ");
    if (item.crcKnown)
        AppendJsonString(o, CrcText(item.crc));
    else
        o.append("null");
    o.push_back('}');
}

class JsonSink : public CompareSink {
public:
    explicit JsonSink(QIODevice& out) : m_out(out) {}
    bool begin(const CompareSummary& s) override
    {
        std::string& o = m_out.text();
        o = "{\n\"format\": \"quillon-comparison\",\n\"version\": 1,\n\"a\": ";
        AppendJsonString(o, ValidUtf8(s.labelA));
        o.append(",\n\"b\": ");
        AppendJsonString(o, ValidUtf8(s.labelB));
        o.append(",\n\"entriesA\": ").append(std::to_string(s.entriesA));
        o.append(",\n\"entriesB\": ").append(std::to_string(s.entriesB));
        o.append(",\n\"compared\": [")
            .append(s.files ? "\"files\"" : "")
            .append(s.files && s.folders ? ", " : "")
            .append(s.folders ? "\"folders\"" : "")
            .append("]");
        o.append(",\n\"complete\": ").append(s.complete() ? "true" : "false");
        o.append(",\n\"unreadable\": [");
        return m_out.flush();
    }
    bool unreadable(const Unreadable& u) override
    {
        std::string& o = m_out.text();
        o.append(m_first ? "\n{\"path\": " : ",\n{\"path\": ");
        m_first = false;
        AppendJsonString(o, u.path);
        if (!IsValidUtf8(u.path))
            o.append(", \"pathHex\": \"").append(HexBytes(u.path)).append("\"");
        o.append(", \"what\": ");
        AppendJsonString(o, u.what.toStdString());
        o.append(", \"reason\": ");
        AppendJsonString(o, u.reason.toStdString());
        o.push_back('}');
        return m_out.flush();
    }
    bool section(ChangeKind kind, std::size_t) override
    {
        if (kind == ChangeKind::Added) {
            m_out.text().append(m_first ? "],\n\"differences\": [" : "\n],\n\"differences\": [");
            m_first = true;
        }
        return true;
    }
    bool difference(ChangeKind kind, const Difference& d) override
    {
        std::string& o = m_out.text();
        o.append(m_first ? "\n{\"change\": \"" : ",\n{\"change\": \"")
            .append(ChangeName(kind))
            .append("\"");
        m_first = false;
        if (kind != ChangeKind::Added) {
            o.append(", \"old\": ");
            JsonItem(o, d.old);
        }
        if (kind != ChangeKind::Removed) {
            o.append(", \"new\": ");
            JsonItem(o, d.now);
        }
        o.push_back('}');
        return m_out.flush();
    }
    bool end() override
    {
        m_out.text().append("\n]\n}\n");
        return m_out.flush(true);
    }

private:
    Chunks m_out;
    bool m_first = true;
};

bool Feed(const CompareFeed& feed, CompareSink& sink, QString* error)
{
    QString why;
    const bool ok = feed(sink, &why);
    if (!ok && error && !why.isEmpty())
        *error = why;
    return ok;
}

CompareFeed FeedOf(const CompareResult& result)
{
    return [&result](CompareSink& sink, QString*) { return WriteCompareResult(result, sink); };
}

} // namespace

namespace {

// Marks are shown as escapes only where the name is not composed: there they are what tells
// it from its composed twin; in a composed name they are letters of its script.
bool IsComposedName(std::string_view bytes)
{
    if (!IsValidUtf8(bytes) ||
        std::none_of(bytes.begin(), bytes.end(), [](char c) { return c & 0x80; }))
        return true;
    const QString name = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return name.normalized(QString::NormalizationForm_C) == name;
}

// Whether a character is written as an escape: controls, formats, line breaks, the
// backslash, and the marks of a name that is not composed.
bool ShownAsEscape(char32_t cp, bool composed)
{
    if (cp < 0x80)
        return cp == '\\' || cp < 0x20 || cp == 0x7F;
    const QChar::Category category = QChar::category(cp);
    const bool mark = category == QChar::Mark_NonSpacing ||
                      category == QChar::Mark_SpacingCombining || category == QChar::Mark_Enclosing;
    return category == QChar::Other_Control || category == QChar::Other_Format ||
           category == QChar::Separator_Line || category == QChar::Separator_Paragraph ||
           (mark && !composed);
}

void AppendEscape(std::string& out, char32_t cp)
{
    switch (cp) {
    case '\\':
        out.append("\\\\");
        return;
    case '\n':
        out.append("\\n");
        return;
    case '\r':
        out.append("\\r");
        return;
    case '\t':
        out.append("\\t");
        return;
    default:
        break;
    }
    if (cp < 0x80)
        AppendHex(out, "\\x", cp, 2);
    else if (cp > 0xFFFF)
        AppendHex(out, "\\U", cp, 8);
    else
        AppendHex(out, "\\u", cp, 4);
}

} // namespace

std::string VisibleText(std::string_view bytes)
{
    const bool composed = IsComposedName(bytes);
    std::string out;
    out.reserve(bytes.size());
    // A name's right-to-left run is closed, as in the reports, so that what follows it (an
    // arrow, a colon, the next name) stays on its side of the line.
    RightToLeftRuns runs;
    const auto next = [&](char32_t written, std::string_view rest) {
        if (runs.closesBefore(written, rest))
            AppendUtf8(out, kLeftToRightMark);
    };
    for (std::size_t pos = 0; pos < bytes.size();) {
        const Utf8Char c = DecodeUtf8At(bytes, pos);
        if (c.codePoint == kInvalidCodePoint) {
            next('\\', bytes.substr(pos + 1));
            AppendHex(out, "\\x", static_cast<unsigned char>(bytes[pos]), 2);
            pos += 1;
            continue;
        }
        const char32_t cp = c.codePoint;
        const std::string_view raw = bytes.substr(pos, c.length);
        pos += c.length;
        const std::string_view rest = bytes.substr(pos);
        if (ShownAsEscape(cp, composed)) {
            next('\\', rest);
            AppendEscape(out, cp);
            continue;
        }
        next(cp, rest);
        out.append(raw);
        if (cp >= 0x80)
            runs.wrote(cp);
    }
    if (runs.open())
        AppendUtf8(out, kLeftToRightMark);
    return out;
}

std::vector<CompareLine> CompareReportLines(const CompareResult& result)
{
    std::vector<CompareLine> lines;
    LineSink sink([&lines](const CompareLine& line) {
        lines.push_back(line);
        return true;
    });
    WriteCompareResult(result, sink);
    return lines;
}

void WriteCompareRtf(const std::vector<CompareLine>& lines, const ReportFont& font,
                     const QString& path)
{
    ReportStagingFile file(path);
    file.writeLine(RtfHeader(font));
    for (const CompareLine& line : lines)
        file.writeLine(RtfLine(line));
    file.writeLine(std::string_view("}"));
    file.close();
}

bool WriteCompareRtf(const CompareFeed& feed, const ReportFont& font, const QString& path,
                     QString* error)
{
    try {
        ReportStagingFile file(path);
        file.writeLine(RtfHeader(font));
        LineSink sink([&file](const CompareLine& line) {
            file.writeLine(RtfLine(line));
            return true;
        });
        if (!Feed(feed, sink, error))
            return false;
        file.writeLine(std::string_view("}"));
        file.close();
        return true;
    } catch (const CommandError& e) {
        *error = e.description();
        return false;
    }
}

bool WriteCompareText(const std::vector<CompareLine>& lines, QIODevice& out)
{
    Chunks chunks(out);
    for (const CompareLine& line : lines) {
        chunks.text().append(ValidUtf8(line.text)).push_back('\n');
        chunks.flush();
    }
    return chunks.flush(true);
}

bool WriteCompareText(const CompareFeed& feed, QIODevice& out, QString* error)
{
    Chunks chunks(out);
    LineSink sink([&chunks](const CompareLine& line) {
        chunks.text().append(ValidUtf8(line.text)).push_back('\n');
        return chunks.flush();
    });
    return Feed(feed, sink, error) && chunks.flush(true);
}

bool SaveComparison(const CompareFeed& feed, const ReportFont& font, const QString& path,
                    QString* error)
{
    const OutputKind kind = OutputKindForPath(path, kCompareOutputs);
    if (kind == OutputKind::None) {
        *error = OutputNameRefusal(path, kCompareOutputs);
        return false;
    }
    QString reason;
    const bool saved = SaveChecked(
        path,
        [&](QSaveFile& out, QString* why) {
            if (kind == OutputKind::Csv) {
                CsvSink sink(out);
                return Feed(feed, sink, why);
            }
            if (kind == OutputKind::Json) {
                JsonSink sink(out);
                return Feed(feed, sink, why);
            }
            if (kind == OutputKind::PlainText)
                return WriteCompareText(feed, out, why);
            Chunks chunks(out);
            const bool html = kind == OutputKind::Html;
            try {
                chunks.text() = html ? HtmlHead(font) : RtfHeader(font) + "\r\n";
            } catch (const CommandError& e) {
                *why = e.description();
                return false;
            }
            LineSink sink([&](const CompareLine& line) {
                if (html)
                    AppendHtmlLine(chunks.text(), line);
                else
                    chunks.text().append(RtfLine(line)).append("\r\n");
                return chunks.flush();
            });
            if (!Feed(feed, sink, why))
                return false;
            chunks.text().append(html ? "</body></html>\n" : "}\r\n");
            return chunks.flush(true);
        },
        &reason);
    if (!saved)
        *error = QStringLiteral("cannot write %1: %2").arg(path, reason);
    return saved;
}

bool SaveCompareResult(const CompareResult& result, const ReportFont& font, const QString& path,
                       QString* error)
{
    return SaveComparison(FeedOf(result), font, path, error);
}

} // namespace quillon
