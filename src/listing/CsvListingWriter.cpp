#include "listing/ListingWriter.h"

namespace quillon {

void AppendCsvField(std::string& out, std::string_view text, bool first)
{
    if (!first)
        out.push_back(',');
    const std::string valid = IsValidUtf8(text) ? std::string() : ValidUtf8(text);
    const std::string_view value = valid.empty() ? text : std::string_view(valid);
    if (value.find_first_of(",\"\r\n") == std::string_view::npos) {
        out.append(value);
        return;
    }
    out.push_back('"');
    for (const char c : value) {
        if (c == '"')
            out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
}

void CsvListingWriter::field(std::string_view text, bool first)
{
    AppendCsvField(m_buffer, text, first);
}

void CsvListingWriter::begin(const ListingHeader& header)
{
    m_columns = header.columns;
    m_buffer.append("path,folder,name,kind,size,modified");
    ForEachDetail(m_columns, ListingEntry(), [&](std::string_view key, std::string_view, bool) {
        m_buffer.push_back(',');
        m_buffer.append(key);
    });
    m_buffer.append(",pathHex");
    // Added columns go last, so that a reader by position keeps its columns.
    m_allocated = header.allocated;
    m_totals = header.folderTotals;
    if (m_allocated)
        m_buffer.append(",allocated");
    if (m_totals)
        m_buffer.append(",totalSize,fileCount");
    m_buffer.append("\r\n");
}

void CsvListingWriter::write(const ListingEntry& entry)
{
    field(entry.path, true);
    field(entry.folder());
    field(entry.name());
    field(EntryKindText(entry.kind));
    field(entry.unreadable & kUnreadableStatus ? std::string() : std::to_string(entry.size));
    field(entry.timeKnown ? IsoTime(entry.modified, entry.utcOffset) : std::string());
    ForEachDetail(m_columns, entry,
                  [&](std::string_view, std::string_view value, bool) { field(value); });
    field(IsValidUtf8(entry.path) ? std::string() : HexBytes(entry.path));
    if (m_allocated)
        field(entry.allocatedKnown ? std::to_string(entry.allocated) : std::string());
    if (m_totals) {
        field(entry.totalsKnown ? std::to_string(entry.totalSize) : std::string());
        field(entry.totalsKnown ? std::to_string(entry.fileCount) : std::string());
    }
    m_buffer.append("\r\n");
    spill();
}

bool CsvListingWriter::finish()
{
    spill(true);
    return !m_failed;
}

} // namespace quillon
