#include "listing/ListingWriter.h"
#include "listing/SummaryListing.h"
#include "platform/StoredTexts.h"
#include "platform/Utf8.h"

#include <charconv>

namespace quillon {

namespace {

void AppendJsonText(std::string& out, const QString& text)
{
    AppendJsonString(out, std::string_view(text.toStdString()));
}

void AppendStringList(std::string& out, const QStringList& list)
{
    out.push_back('[');
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (i > 0)
            out.push_back(',');
        AppendJsonText(out, list[i]);
    }
    out.push_back(']');
}

// Digits with no string of their own, as std::to_string would write them.
template <class Number> void AppendNumber(std::string& out, Number value)
{
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, static_cast<std::size_t>(result.ptr - digits));
}

} // namespace

namespace {

// What a JSON string holds between its quotes.
void AppendJsonContent(std::string& out, std::string_view text)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    // Most texts are plain ASCII: valid UTF-8 that needs no escape, written as it is.
    if (JsonPlainLength(text, true) == text.size()) {
        out.append(text);
        return;
    }
    const std::string valid = IsValidUtf8(text) ? std::string() : ValidUtf8(text);
    const std::string_view value = valid.empty() ? text : std::string_view(valid);
    // Plain runs are appended whole: most names need no escape at all.
    std::size_t plain = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && c != '"' && c != '\\')
            continue;
        out.append(value.substr(plain, i - plain));
        plain = i + 1;
        if (b >= 0x20) {
            out.push_back('\\');
            out.push_back(c);
        } else {
            out.append("\\u00");
            out.push_back(kDigits[b >> 4]);
            out.push_back(kDigits[b & 15]);
        }
    }
    out.append(value.substr(plain));
}

} // namespace

void AppendJsonString(std::string& out, std::string_view text)
{
    out.push_back('"');
    AppendJsonContent(out, text);
    out.push_back('"');
}

void JsonListingWriter::begin(const ListingHeader& header)
{
    m_columns = header.columns;
    std::string& o = m_buffer;
    o.append("{\n\"format\": \"quillon-listing\",\n\"version\": 1,\n\"job\": {\n\"locations\": [");
    for (std::size_t i = 0; i < header.locations.size(); ++i) {
        const ScanLocation& location = header.locations[i];
        o.append(i > 0 ? ",\n  {\"path\": " : "\n  {\"path\": ");
        AppendJsonText(o, location.path);
        o.append(", \"subFolders\": ");
        o.append(location.withSubFolders() ? "true" : "false");
        o.append(", \"filter\": ");
        AppendJsonText(o, location.filter);
        o.append(", \"level\": ");
        AppendJsonText(o, location.level);
        o.append(", \"excluded\": ");
        o.append(location.excluded() ? "true}" : "false}");
    }
    o.append("],\n\"reportType\": ");
    AppendJsonText(o, header.reportType);
    o.append(",\n\"exclusions\": {\"names\": ");
    AppendStringList(o, header.excludedNames);
    o.append(", \"folders\": ");
    AppendStringList(o, header.excludedFolders);
    o.append(", \"extensions\": ");
    AppendStringList(o, header.excludedExtensions);
    o.append("},\n\"columns\": [");
    bool first = true;
    ForEachDetail(m_columns, ListingEntry(), [&](std::string_view key, std::string_view, bool) {
        if (!first)
            o.push_back(',');
        first = false;
        AppendJsonString(o, key);
    });
    o.append("]\n},\n\"scanned\": ");
    AppendJsonString(o, IsoTime(header.scanned, header.utcOffset));
    if (header.summary) {
        o.append(",\n");
        AppendSummaryJson(o, *header.summary);
    }
    o.append(",\n\"entries\": [");
}

// A time as a JSON string (digits and signs: no escape). Files of a folder often share their
// time, so the last one is kept.
const std::string& JsonListingWriter::quotedTime(std::int64_t seconds, int utcOffset)
{
    if (m_lastTime.empty() || seconds != m_lastSeconds || utcOffset != m_lastOffset) {
        m_lastTime.assign(1, '"');
        AppendIsoTime(m_lastTime, seconds, utcOffset);
        m_lastTime.push_back('"');
        m_lastSeconds = seconds;
        m_lastOffset = utcOffset;
    }
    return m_lastTime;
}

void JsonListingWriter::write(const ListingEntry& entry)
{
    std::string& o = m_buffer;
    // A path of valid UTF-8 that needs no escape is written as it is, and so are its folder and
    // name: parts of it cut at a "/", which is never within a character. The quotes go with
    // the keys around them, so a plain entry is a few appends.
    const std::string_view path = entry.path;
    const bool plain = JsonPlainLength(path, true) == path.size() ||
                       (JsonPlainLength(path, false) == path.size() && IsValidUtf8(path));
    const auto content = [&o, plain](std::string_view text) {
        if (plain)
            o.append(text);
        else
            AppendJsonContent(o, text);
    };
    o.append(m_first ? "\n{\"path\": \"" : ",\n{\"path\": \"");
    m_first = false;
    content(path);
    o.append("\", \"folder\": \"");
    content(entry.folder());
    o.append("\", \"name\": \"");
    content(entry.name());
    o.append("\", \"kind\": \"");
    o.append(EntryKindText(entry.kind));
    o.append("\", \"size\": ");
    if (entry.unreadable & kUnreadableStatus)
        o.append("null");
    else
        AppendNumber(o, entry.size);
    if (entry.allocatedKnown) {
        o.append(", \"allocated\": ");
        AppendNumber(o, entry.allocated);
    }
    if (entry.totalsKnown) {
        o.append(", \"totalSize\": ");
        AppendNumber(o, entry.totalSize);
        o.append(", \"fileCount\": ");
        AppendNumber(o, entry.fileCount);
    }
    o.append(", \"modified\": ");
    o.append(entry.timeKnown ? std::string_view(quotedTime(entry.modified, entry.utcOffset))
                             : std::string_view("null"));
    if (m_columns.any()) // most listings have no detail column: no look at each of them
        ForEachDetail(m_columns, entry,
                      [&](std::string_view key, std::string_view value, bool known) {
                          o.append(", ");
                          AppendJsonString(o, key);
                          o.append(": ");
                          if (known)
                              AppendJsonString(o, value);
                          else
                              o.append("null");
                      });
    if (!plain && !IsValidUtf8(entry.path))
        o.append(", \"pathHex\": \"").append(HexBytes(entry.path)).push_back('"');
    o.push_back('}');
    spill();
}

bool JsonListingWriter::finish()
{
    m_buffer.append("\n]\n}\n");
    spill(true);
    return !m_failed;
}

} // namespace quillon
