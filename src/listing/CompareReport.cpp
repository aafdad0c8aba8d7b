#include "listing/CompareReport.h"

#include "listing/ListingWriter.h"
#include "output/SaveFormat.h"
#include "platform/CheckedSave.h"
#include "platform/CommandError.h"
#include "platform/Utf8.h"
#include "report/RtfFraming.h"
#include "report/StagingFile.h"

#include <QSaveFile>

namespace quillon {

namespace {

constexpr std::string_view kArrow = "\xE2\x86\x92"; // →

std::string Shown(const CompareItem& item)
{
    std::string text = ValidUtf8(item.path);
    if (item.kind == EntryKind::Folder)
        text.push_back('/');
    return text;
}

std::string TimeText(const CompareItem& item)
{
    return item.timeKnown ? IsoTime(item.modified, item.utcOffset) : std::string("unknown");
}

void Section(std::vector<CompareLine>& lines, std::string_view title, std::size_t count)
{
    lines.push_back({std::string(title) + " (" + std::to_string(count) + ")", true});
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

std::string HtmlEscaped(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        if (c == '&')
            out.append("&amp;");
        else if (c == '<')
            out.append("&lt;");
        else if (c == '>')
            out.append("&gt;");
        else if (c == ' ')
            out.append("&nbsp;");
        else
            out.push_back(c);
    }
    return out;
}

bool Put(QIODevice& out, const std::string& text)
{
    return out.write(text.data(), static_cast<qint64>(text.size())) ==
           static_cast<qint64>(text.size());
}

bool WriteHtml(const std::vector<CompareLine>& lines, const ReportFont& font, QIODevice& out)
{
    std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
                       "<title>Quillon comparison</title>\n<style>body { font-family: ";
    page.append(HtmlEscaped(SafeFontName(font.name).toStdString()));
    page.append("; font-size: ");
    page.append(HtmlEscaped(SafeFontName(font.sizeText).toStdString()));
    page.append("pt; white-space: nowrap }</style></head><body>\n");
    for (const CompareLine& line : lines) {
        const std::string text = HtmlEscaped(ValidUtf8(line.text));
        page.append(line.bold ? "<b>" + text + "</b>" : text).append("<br>\n");
    }
    page.append("</body></html>\n");
    return Put(out, page);
}

template <class F> void ForEachRow(const CompareResult& r, F f)
{
    const std::pair<std::string_view, const std::vector<Difference>*> sections[] = {
        {"added", &r.added}, {"removed", &r.removed}, {"changed", &r.changed}, {"moved", &r.moved}};
    for (const auto& [change, list] : sections)
        for (const Difference& d : *list)
            f(change, d);
}

bool WriteCsv(const CompareResult& r, QIODevice& out)
{
    std::string text = "change,path,old_path,kind,old_size,new_size,old_modified,new_modified,"
                       "old_crc32,new_crc32\r\n";
    ForEachRow(r, [&](std::string_view change, const Difference& d) {
        const bool hasOld = change != "added";
        const bool hasNew = change != "removed";
        const CompareItem& main = hasNew ? d.now : d.old;
        AppendCsvField(text, change, true);
        AppendCsvField(text, main.path);
        AppendCsvField(text, change == "moved" ? d.old.path : std::string());
        AppendCsvField(text, EntryKindText(main.kind));
        AppendCsvField(text, hasOld ? std::to_string(d.old.size) : std::string());
        AppendCsvField(text, hasNew ? std::to_string(d.now.size) : std::string());
        AppendCsvField(text, hasOld && d.old.timeKnown ? TimeText(d.old) : std::string());
        AppendCsvField(text, hasNew && d.now.timeKnown ? TimeText(d.now) : std::string());
        AppendCsvField(text, hasOld && d.old.crcKnown ? CrcText(d.old.crc) : std::string());
        AppendCsvField(text, hasNew && d.now.crcKnown ? CrcText(d.now.crc) : std::string());
        text.append("\r\n");
    });
    return Put(out, text);
}

void JsonItem(std::string& o, const CompareItem& item)
{
    o.append("{\"path\": ");
    AppendJsonString(o, item.path);
    if (!IsValidUtf8(item.path))
        o.append(", \"pathHex\": \"").append(HexBytes(item.path)).append("\"");
    o.append(", \"kind\": \"").append(EntryKindText(item.kind)).append("\", \"size\": ");
    o.append(std::to_string(item.size)).append(", \"modified\": ");
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

bool WriteJson(const CompareResult& r, QIODevice& out)
{
    std::string o = "{\n\"format\": \"quillon-comparison\",\n\"version\": 1,\n\"a\": ";
    AppendJsonString(o, r.labelA.toStdString());
    o.append(",\n\"b\": ");
    AppendJsonString(o, r.labelB.toStdString());
    o.append(",\n\"entriesA\": ").append(std::to_string(r.entriesA));
    o.append(",\n\"entriesB\": ").append(std::to_string(r.entriesB));
    o.append(",\n\"differences\": [");
    bool first = true;
    ForEachRow(r, [&](std::string_view change, const Difference& d) {
        o.append(first ? "\n{\"change\": \"" : ",\n{\"change\": \"").append(change).append("\"");
        first = false;
        if (change != "added") {
            o.append(", \"old\": ");
            JsonItem(o, d.old);
        }
        if (change != "removed") {
            o.append(", \"new\": ");
            JsonItem(o, d.now);
        }
        o.push_back('}');
    });
    o.append("\n]\n}\n");
    return Put(out, o);
}

std::string RtfDocument(const std::vector<CompareLine>& lines, const ReportFont& font)
{
    std::string text = RtfHeader(font) + "\r\n";
    for (const CompareLine& line : lines)
        text.append(RtfLine(line)).append("\r\n");
    text.append("}\r\n");
    return text;
}

} // namespace

std::vector<CompareLine> CompareReportLines(const CompareResult& r)
{
    std::vector<CompareLine> lines;
    lines.push_back({"Comparison of " + r.labelA.toStdString(), true});
    lines.push_back({"          with " + r.labelB.toStdString(), true});
    lines.push_back({});
    Section(lines, "Added", r.added.size());
    for (const Difference& d : r.added)
        lines.push_back({"   " + Shown(d.now)});
    lines.push_back({});
    Section(lines, "Removed", r.removed.size());
    for (const Difference& d : r.removed)
        lines.push_back({"   " + Shown(d.old)});
    lines.push_back({});
    Section(lines, "Changed", r.changed.size());
    for (const Difference& d : r.changed)
        lines.push_back({"   " + Shown(d.now) + ": " + Changes(d)});
    lines.push_back({});
    Section(lines, "Moved or renamed", r.moved.size());
    for (const Difference& d : r.moved)
        lines.push_back({"   " + Shown(d.old) + " " + std::string(kArrow) + " " + Shown(d.now)});
    lines.push_back({});
    const std::string totals =
        std::to_string(r.entriesA) + " entries against " + std::to_string(r.entriesB) + ".";
    if (r.same()) {
        lines.push_back({"No differences; " + totals, true});
    } else {
        lines.push_back({std::to_string(r.added.size()) + " added, " +
                             std::to_string(r.removed.size()) + " removed, " +
                             std::to_string(r.changed.size()) + " changed, " +
                             std::to_string(r.moved.size()) + " moved or renamed; " + totals,
                         true});
    }
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

bool WriteCompareText(const std::vector<CompareLine>& lines, QIODevice& out)
{
    std::string text;
    for (const CompareLine& line : lines)
        text.append(ValidUtf8(line.text)).push_back('\n');
    return Put(out, text);
}

bool SaveCompareResult(const CompareResult& result, const ReportFont& font, const QString& path,
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
            if (kind == OutputKind::Csv)
                return WriteCsv(result, out);
            if (kind == OutputKind::Json)
                return WriteJson(result, out);
            const std::vector<CompareLine> lines = CompareReportLines(result);
            if (kind == OutputKind::PlainText)
                return WriteCompareText(lines, out);
            if (kind == OutputKind::Html)
                return WriteHtml(lines, font, out);
            try {
                return Put(out, RtfDocument(lines, font));
            } catch (const CommandError& e) {
                *why = e.description();
                return false;
            }
        },
        &reason);
    if (!saved)
        *error = QStringLiteral("cannot write %1: %2").arg(path, reason);
    return saved;
}

} // namespace quillon
