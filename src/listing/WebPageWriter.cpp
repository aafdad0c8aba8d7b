#include "listing/WebPageWriter.h"

#include "listing/ComparisonOutput.h"

#include <QCryptographicHash>
#include <QFile>

namespace quillon {

namespace {

// Rows per JSON block: the page parses one block at a time, so no single text is huge.
constexpr std::size_t kRowsPerBlock = 50000;

const char* const kBlockOpen = "<script type=\"application/json\" class=\"rows\">[";
const char* const kBlockClose = "]</script>\n";

// The page's parts, embedded in the program (src/listing/webpage).
QByteArray Part(const char* name)
{
    QFile file(QStringLiteral(":/webpage/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::string HtmlEscaped(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

// The Content-Security-Policy source of an inline element: only that exact text may run.
std::string HashSource(const QByteArray& text)
{
    return "'sha256-" +
           QCryptographicHash::hash(text, QCryptographicHash::Sha256).toBase64().toStdString() +
           "'";
}

void Replace(std::string& text, std::string_view mark, std::string_view by)
{
    const std::size_t at = text.find(mark);
    if (at != std::string::npos)
        text.replace(at, mark.size(), by);
}

bool IsAncestorOrSelf(std::string_view folder, std::string_view path)
{
    if (!path.starts_with(folder))
        return false;
    return path.size() == folder.size() || folder.ends_with('/') || path[folder.size()] == '/';
}

void AppendNumber(std::string& out, std::int64_t value)
{
    out += std::to_string(value);
}

} // namespace

void AppendPageJsonString(std::string& out, std::string_view text)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    const std::string valid = IsValidUtf8(text) ? std::string() : ValidUtf8(text);
    const std::string_view value = valid.empty() ? text : std::string_view(valid);
    out.push_back('"');
    for (const char c : value) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (b < 0x20 || c == '<' || c == '>' || c == '&') {
            out.append("\\u00");
            out.push_back(kDigits[b >> 4]);
            out.push_back(kDigits[b & 15]);
        } else {
            out.push_back(c);
        }
    }
    out.push_back('"');
}

void WebPageWriter::begin(const ListingHeader& header)
{
    m_header = header;
    std::string head = "{\"format\":\"quillon-page\",\"version\":1,\"reportType\":";
    AppendPageJsonString(head, header.reportType.toStdString());
    head += ",\"scanned\":";
    AppendPageJsonString(head, IsoTime(header.scanned, header.utcOffset));
    head += ",\"locations\":[";
    std::string title;
    for (std::size_t i = 0; i < header.locations.size(); ++i) {
        const std::string path = QFile::encodeName(header.locations[i].path).toStdString();
        m_roots.push_back(path);
        const std::string shown = VisibleText(path);
        if (i > 0) {
            head.push_back(',');
            title += ", ";
        }
        AppendPageJsonString(head, shown);
        title += shown;
    }
    head += "],\"totals\":";
    head += header.folderTotals ? "true" : "false";
    head += ",\"allocated\":";
    head += header.allocated ? "true" : "false";
    head += ",\"details\":[";
    bool first = true;
    ForEachDetail(header.columns, ListingEntry(),
                  [&](std::string_view key, std::string_view, bool) {
                      if (!first)
                          head.push_back(',');
                      first = false;
                      AppendPageJsonString(head, key);
                  });
    head += "]}";

    const QByteArray style = Part("page.css");
    const QByteArray script = Part("page.js");
    std::string page = Part("page.html").toStdString();
    Replace(page, "@SCRIPT_HASH@", HashSource(script));
    Replace(page, "@STYLE_HASH@", HashSource(style));
    Replace(page, "@TITLE@", HtmlEscaped(title));
    Replace(page, "@STYLE@", style.toStdString());
    Replace(page, "@HEADER@", head);
    Replace(page, "@SCRIPT@", script.toStdString());
    const std::size_t data = page.find("@ROWS@");
    m_buffer.append(page, 0, data);
    m_buffer.append(kBlockOpen);
    m_tail = page.substr(data + 6);
}

// The number of the folder row for path, writing rows for it and the folders above it that
// have none yet. entry: the folder's own entry, when path is that of an entry being written.
int WebPageWriter::folderRow(std::string_view path, const ListingEntry* entry)
{
    while (!m_open.empty() && !IsAncestorOrSelf(openPath(), path))
        m_open.pop_back();
    if (!m_open.empty() && openPath() == path)
        return m_open.back().number;
    if (m_open.empty()) {
        // A tree starts at the location holding the path (List In Details has no entry for
        // it), or at the folder itself.
        std::string_view root = path;
        if (!entry) {
            for (const std::string& location : m_roots) {
                if (IsAncestorOrSelf(location, path) && location.size() < root.size())
                    root = location;
            }
        }
        row(1, -1, VisibleText(root), root == path ? entry : nullptr);
        push(root);
    }
    while (openPath() != path) {
        const std::string_view above = openPath();
        const std::size_t start = above.ends_with('/') ? above.size() : above.size() + 1;
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view name = path.substr(start, end - start);
        row(1, m_open.back().number, VisibleText(name), end == path.size() ? entry : nullptr);
        push(path.substr(0, end));
    }
    return m_open.back().number;
}

// path is the next folder down from the innermost open one (or a new root).
void WebPageWriter::push(std::string_view path)
{
    const std::size_t kept = m_open.empty() ? 0 : m_open.back().length;
    m_openPath.resize(kept);
    m_openPath.append(path.substr(kept));
    m_open.push_back({path.size(), m_folders++});
}

void WebPageWriter::nextRow()
{
    if (m_rowsInBlock == kRowsPerBlock) {
        m_buffer.append(kBlockClose);
        m_buffer.append(kBlockOpen);
        m_rowsInBlock = 0;
    }
    if (m_rowsInBlock++ > 0)
        m_buffer.append(",\n");
}

void WebPageWriter::row(int kind, int parent, std::string_view name, const ListingEntry* entry)
{
    nextRow();
    std::string& o = m_buffer;
    o.push_back('[');
    AppendNumber(o, kind);
    o.push_back(',');
    AppendNumber(o, parent);
    o.push_back(',');
    AppendPageJsonString(o, name);
    const bool status = entry && !(entry->unreadable & kUnreadableStatus);
    o.push_back(',');
    if (status && kind != 1)
        AppendNumber(o, entry->size);
    else
        o.append("null");
    o.push_back(',');
    if (status && entry->timeKnown)
        AppendNumber(o, entry->modified);
    else
        o.append("null");
    if (m_header.folderTotals) {
        if (entry && entry->totalsKnown) {
            o.push_back(',');
            AppendNumber(o, entry->totalSize);
            o.push_back(',');
            AppendNumber(o, static_cast<std::int64_t>(entry->fileCount));
        } else {
            o.append(",null,null");
        }
    }
    if (m_header.allocated) {
        o.push_back(',');
        if (entry && entry->allocatedKnown)
            AppendNumber(o, entry->allocated);
        else
            o.append("null");
    }
    ForEachDetail(m_header.columns, entry ? *entry : ListingEntry(),
                  [&](std::string_view, std::string_view value, bool known) {
                      o.push_back(',');
                      if (entry && known)
                          AppendPageJsonString(o, VisibleText(value));
                      else
                          o.append("null");
                  });
    o.push_back(']');
    spill();
}

void WebPageWriter::write(const ListingEntry& entry)
{
    if (entry.kind == EntryKind::Folder) {
        folderRow(entry.path, &entry);
        return;
    }
    const int parent = folderRow(entry.folder(), nullptr);
    row(entry.kind == EntryKind::Link ? 2 : 0, parent, VisibleText(entry.name()), &entry);
}

bool WebPageWriter::finish()
{
    m_buffer.append(kBlockClose);
    m_buffer.append(m_tail);
    spill(true);
    return !m_failed;
}

} // namespace quillon
